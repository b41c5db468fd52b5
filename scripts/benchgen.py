#!/usr/bin/env python3
"""Writes a deterministic benchmark script set of about SIZE megabytes.

    benchgen.py SIZE_MB DIRECTORY
    benchgen.py --small DIRECTORY

DIRECTORY receives bench.otd (the test script, most of the size), bench.stb
(stubs it includes) and bench.otc (contracts, about a sixth of the size).
Together they use every construct of both languages and translate without a
message. The same size always gives the same bytes: nothing depends on the
clock, the machine or a random seed. With --small, DIRECTORY receives only
small.otd, a script of 50 lines for timing the start of the translator.
"""

import os
import sys

# Shares of the requested size; the rest of the OTD share is the included
# stub file, which grows with the units that check its stubs.
OTC_SHARE = 0.16


def otd_unit(i):
    """One branch of the bank: a base class, a derived class and a stub."""
    n = f"{i:05d}"
    limit = (i * 37) % 900 + 100
    amount = (i * 53) % 4000 + 1000
    return f"""// Branch {n}: accounts of one branch, their overdrafts and the large
// withdrawals that the fraud service must approve.
TEST CLASS Branch{n} (holder, limit)
{{
   PROPERTY Sound (account)
   {{
      (account.owner() == holder)
      (account.balance() >= -limit)
      (account.branch() == {i})
   }}

   PROC deposit (account, amount) REQUIRE (amount > 0)
   {{
      #const long before = account.balance();
      #account.deposit(amount);
      CHECK "deposit is counted" (account.transactions() > 0);
   }} ENSURE (account.balance() == before + amount)

   PROC withdraw (account, amount) REQUIRE (amount > 0 && amount < {amount * 10})
   {{
      #const long before = account.balance();
      #account.withdraw(amount);
      PRINT ("withdrawn", amount, "from", holder);
   }} ENSURE (account.balance() == before - amount)

   TEST SUITE Everyday
   {{
      PROLOGUE
      {{
         PRINT ("opening accounts of branch {n} for", holder);
      }}
      EPILOGUE
      {{
         PRINT ("everyday tests done for", holder);
      }}

      TEST CASE Opening
      {{
         #Account account(holder, limit, {i});
         CHECK "a new account is empty" (account.balance() == 0);
         CHECK (account.transactions() == 0 && account.branch() == {i});
         CHECK PROPERTY Sound (account);
         CHECK PROPERTY "sound when opened" Sound (account);
      }}

      TEST CASE Deposits
      {{
         #Account account(holder, limit, {i});
         CALL deposit (account, {amount});
         CALL deposit (account, {amount // 2 + 1});
         CHECK (account.transactions() == 2);
         CHECK PROPERTY Sound (account);
      }}

      TEST CASE RefusesNonsense
      {{
         #Account account(holder, limit, {i});
         #account.deposit(-{i % 50 + 1});
         CHECK EXCEPTION (const std::invalid_argument &refused)
         {{
            PRINT (refused.what());
         }}
      }}

      TEST SUITE Fees
      {{
         TEST CASE Monthly
         {{
            #{{
               Account account(holder, limit, {i});
               account.deposit({amount});
               account.chargeMonthlyFee();
            }}#
            COMMENT the monthly fee is the same in every branch
            CHECK (account.balance() == {amount} - Account::MonthlyFee);
         }}
      }}
   }}

   TEST CASE BeyondTheLimit
   {{
      #Account account(holder, limit, {i});
      CALL deposit (account, 100);
      c++#account.withdraw(100 + limit + 1);
      CHECK EXCEPTION (const InsufficientFunds &);
   }}

   TEST CASE LargeWithdrawal
   {{
      #Account account(holder, limit, {i});
      CALL deposit (account, {amount * 3});
      // Runs inside the stub, where its parameters are known.
      CHECK STUB approve{n}
      {{
         CHECK (who == holder);
         CHECK "the amount asked for" (amount == {amount});
      }}
      CHECK METHOD bool Account::withdraw(long amount);
      CALL withdraw (account, {amount});
      CHECK PROPERTY Sound (account);
   }}

   TEST CASE Guarded
   {{
      ON ERROR {{ PRINT ("the rest of Guarded is skipped"); }} BYPASS;
      c++#{{ Account account(holder, limit, {i}); }}#
      COMMENT {{ the account is used by the stub of the shared
                 fraud service as well }}
      CHECK STUB screen
      {{
         CHECK (amount > 0);
      }}
      CALL withdraw (account, {limit // 2 + 1});
      PRINT ("balance after the withdrawal", account.balance());
   }}

   // The vault of the branch, run on its own through a dotted name.
   TEST CLASS Vault
   {{
      TEST CASE Count
      {{
         #Vault vault({i});
         CHECK "the vault adds up" (vault.total() == vault.sum());
      }}
      RUN {{ Count; }}
   }}

   RUN {{ Everyday; BeyondTheLimit; LargeWithdrawal; Guarded; Vault.Count; }}
}}

// The same tests for accounts that may go {limit} euros into the red.
TEST CLASS Overdraft{n} (customer) : Branch{n} (customer, {limit})
{{
   TEST CASE Overdrawn
   {{
      ON ERROR {{ PRINT ("overdrawn account", customer); }} CONTINUE;
      #Account account(customer, {limit}, {i});
      CALL withdraw (account, {limit // 3 + 1});
      CHECK PROPERTY Sound (account);
      #account.chargeMonthlyFee();
      CHECK "fee of an overdrawn account" (account.balance() < 0);
   }}

   RUN {{ Everyday; BeyondTheLimit; Overdrawn; }}
}}

TEST SUITE Audit{n}
{{
   TEST CASE Ledger
   {{
      #Ledger ledger({i});
      CHECK (ledger.balanced());
      PRINT ("ledger of branch {n}", ledger.size());
   }}
}}

STUB approve{n} : bool approveWithdrawal{n}(const std::string &who, long amount)
REQUIRE (amount >= Account::LargeWithdrawal)
{{
   CHECK "only large withdrawals need approval" (amount >= {amount // 2});
   PRINT ("approval asked by", who);
   ...
   #return amount <= {amount * 5};
}}
ENSURE (result || amount > {amount * 5})

"""


def otd_run(units):
    # Every branch runs once; the derived classes and the dotted vault
    # checks of only some, as a tester picks what a nightly run needs.
    lines = ["RUN", "{"]
    for i in range(units):
        n = f"{i:05d}"
        customer = chr(ord("A") + i % 26)
        lines.append(f"   Branch{n} (\"Ada{customer}\", {i % 7 * 100});")
        if i % 8 == 1:
            lines.append(f"   Overdraft{n} (\"Bob{customer}\");")
        if i % 4 == 0:
            lines.append(f"   Branch{n} (\"Cy{customer}\", 0).Vault.Count;")
        lines.append(f"   Audit{n};")
    lines.append("}")
    return "\n".join(lines) + "\n"


OTD_HEAD = """// Benchmark test script: the accounts of many bank branches.
##include "account.h"
##include <stdexcept>

INCLUDE "bench.stb";

#static long ledgerTotal = 0;

"""

STB = """// The shared fraud service, which screens every withdrawal.
##include "approval.h"

STUB screen : bool screenWithdrawal(const std::string &who, long amount)
{
   CHECK "a withdrawal has an amount" (amount != 0);
   ...
   #return true;
}
"""


def otc_unit(i):
    n = f"{i:05d}"
    top = (i * 31) % 90 + 10
    return f"""// Lift {n} of the tower: moves between {top} floors.
CLASS Lift{n} : public Device
{{
   WRAP int move(int to_floor)
      REQUIRE (to_floor >= 0 && to_floor < {top})
      ENSURE (floor() == to_floor)
   WRAP void open(bool slowly) ENSURE (isOpen())
   WRAP long load(const Cargo &cargo, double weight = 0.5)
      REQUIRE (weight <= {top * 10}.0)
   INVARIANT (floor() < {top});
   INVARIANT (speed() >= 0);
   STATE Idle {{ (speed() == 0) (!moving()) }}
   STATE Moving {{ (speed() != 0) }}
   STATE Open {{ (isOpen()) (speed() == 0) }}
   TRANSITION Idle TO Moving;
   TRANSITION Moving TO Idle;
   TRANSITION Idle TO Open;
   TRANSITION Open TO Idle;
}}

SINGLE CLASS Door{n}
{{
   WRAP void shut(const char *why = "closing {n}") ENSURE (!isOpen())
   INVARIANT (width() > 0);
}}

"""


SMALL = """// A small everyday script: what the translator's start-up costs.
TEST CLASS Counter (start)
{
   PROC add (counter, amount) REQUIRE (amount > 0)
   {
      #counter.add(amount);
   } ENSURE (counter.value() > start)

   TEST SUITE Basics
   {
      TEST CASE Fresh
      {
         #Counter counter(start);
         CHECK "starts where it is told" (counter.value() == start);
      }

      TEST CASE Adding
      {
         #Counter counter(start);
         CALL add (counter, 2);
         CHECK (counter.value() == start + 2);
         PRINT ("counter at", counter.value());
      }
   }

   TEST CASE Overflow
   {
      ON ERROR { PRINT ("overflow not refused"); } CONTINUE;
      #Counter counter(start);
      #counter.add(Counter::Max);
      CHECK EXCEPTION (const std::overflow_error &);
   }

   RUN { Basics; Overflow; }
}

TEST CLASS Wrapping : Counter (0)
{
   TEST CASE Wraps
   {
      #Counter counter(0);
      CHECK (counter.value() == 0);
   }

   RUN { Basics; Wraps; }
}

// Two counters of the base class, the derived one, and one case of it
// reached through its class.
RUN { Counter (1); Counter (100); Wrapping; Wrapping.Wraps; }
"""


def fill(path, head, unit, size, tail=None):
    """Writes head, then units until the file reaches size bytes, then tail;
    returns the number of units."""
    written = 0
    units = 0
    with open(path, "w", encoding="ascii", newline="\n") as out:
        out.write(head)
        written += len(head)
        # At least one unit, so that even a tiny size uses every construct.
        while units == 0 or written < size:
            text = unit(units)
            out.write(text)
            written += len(text)
            units += 1
        if tail is not None:
            out.write(tail(units))
    return units


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: benchgen.py SIZE_MB DIRECTORY | --small DIRECTORY\n")
        return 2
    if sys.argv[1] == "--small":
        os.makedirs(sys.argv[2], exist_ok=True)
        with open(os.path.join(sys.argv[2], "small.otd"), "w", encoding="ascii", newline="\n") as out:
            out.write(SMALL)
        return 0
    size = int(float(sys.argv[1]) * 1000000)
    directory = sys.argv[2]
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "bench.stb"), "w", encoding="ascii", newline="\n") as out:
        out.write(STB)
    otd_size = int(size * (1 - OTC_SHARE)) - len(STB)
    # The top-level RUN adds about 120 bytes a unit; leave room for it.
    fill(os.path.join(directory, "bench.otd"), OTD_HEAD, otd_unit, otd_size * 0.97, otd_run)
    fill(os.path.join(directory, "bench.otc"), "// Benchmark contracts: the lifts and doors of a tower.\n\n",
         otc_unit, size * OTC_SHARE)
    return 0


if __name__ == "__main__":
    sys.exit(main())
