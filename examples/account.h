// A bank account in whole euros, with an optional overdraft. Withdrawals of
// LargeWithdrawal or more must be approved by the bank's fraud service first.
#pragma once

#include <stdexcept>
#include <string>

// A withdrawal that would take the balance below the overdraft limit.
class InsufficientFunds : public std::runtime_error {
public:
    InsufficientFunds(long balance, long amount);
};

// A large withdrawal that the fraud service did not approve.
class WithdrawalRefused : public std::runtime_error {
public:
    explicit WithdrawalRefused(long amount);
};

class Account {
public:
    static constexpr long LargeWithdrawal = 1000;
    static constexpr long MonthlyFee = 5;
    // Charged instead of the fee while the account is overdrawn.
    static constexpr long OverdrawnFee = 10;

    // overdraftLimit: how far below zero the balance may go (0: not at all).
    explicit Account(std::string owner, long overdraftLimit = 0);

    const std::string &owner() const { return owner_; }
    long balance() const { return balance_; }
    long overdraftLimit() const { return overdraftLimit_; }
    // Deposits and withdrawals that went through.
    int transactions() const { return transactions_; }

    // amount must be positive (std::invalid_argument otherwise).
    void deposit(long amount);
    // amount must be positive; throws InsufficientFunds or, for a large
    // amount the fraud service refuses, WithdrawalRefused. A refused
    // withdrawal leaves the account as it was.
    void withdraw(long amount);
    // The fee is charged even when it takes the account into its overdraft:
    // the bank would rather be paid than be polite.
    void chargeMonthlyFee();

private:
    std::string owner_;
    long balance_ = 0;
    long overdraftLimit_;
    int transactions_ = 0;
};
