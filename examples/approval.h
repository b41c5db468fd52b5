// The bank's fraud service, which decides on large withdrawals. It lives in
// a library of its own; the tests replace it by a stub.
#pragma once

#include <string>

bool approveWithdrawal(const std::string &holder, long amount);
