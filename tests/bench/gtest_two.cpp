// The yardstick of the harness compile benchmark (scripts/benchcompile.py):
// two GoogleTest tests of the bank example's Account, as a tester would
// write them without a script; like the harness it includes account.h.
#include <gtest/gtest.h>

#include "account.h"

TEST(Account, OpensEmpty) { EXPECT_EQ(Account("Ada").balance(), 0); }

TEST(Account, RefusesAnOverdraft) { EXPECT_THROW(Account("Bob").withdraw(1), InsufficientFunds); }
