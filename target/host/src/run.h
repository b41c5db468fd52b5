// What the contract run-time (contracts.cpp) shares with the trace writer
// of tp.cpp.
#pragma once

#include <cstdarg>
#include <string>

namespace zeptp {

// One trace line (printf format, no line feed).
void traceEvent(const char *format, ...) __attribute__((format(printf, 1, 2)));
// A text field of the trace, quoted and escaped.
std::string quotedText(const char *text);
// A failed contract: one failed check of the test case in progress, or of
// the run outside any test case.
void contractFailed();
// The FILE index of the script with this checksum pair, -1 when none.
int fileWithChecksums(unsigned long checksumA, unsigned long checksumB);
// The TALLY lines, written just before END.
void writeTallies();

} // namespace zeptp
