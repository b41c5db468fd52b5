#include "account.h"

#include <utility>

#include "approval.h"

InsufficientFunds::InsufficientFunds(long balance, long amount)
    : std::runtime_error("cannot withdraw " + std::to_string(amount) + " from a balance of "
                         + std::to_string(balance))
{
}

WithdrawalRefused::WithdrawalRefused(long amount)
    : std::runtime_error("withdrawal of " + std::to_string(amount) + " refused by the fraud service")
{
}

Account::Account(std::string owner, long overdraftLimit)
    : owner_(std::move(owner)), overdraftLimit_(overdraftLimit < 0 ? 0 : overdraftLimit)
{
}

void Account::deposit(long amount)
{
    if (amount <= 0)
        throw std::invalid_argument("a deposit must be positive");
    balance_ += amount;
    ++transactions_;
}

void Account::withdraw(long amount)
{
    if (amount <= 0)
        throw std::invalid_argument("a withdrawal must be positive");
    if (balance_ - amount < -overdraftLimit_)
        throw InsufficientFunds(balance_, amount);
    // Asked only once the money is known to be there, so that the service
    // is not bothered with withdrawals that would fail anyway.
    if (amount >= LargeWithdrawal && !approveWithdrawal(owner_, amount))
        throw WithdrawalRefused(amount);
    balance_ -= amount;
    ++transactions_;
}

void Account::chargeMonthlyFee()
{
    balance_ -= balance_ < 0 ? OverdrawnFee : MonthlyFee;
}
