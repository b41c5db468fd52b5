// Small text helpers shared by the readers and writers of zepreport: the
// number formats of the trace and the record files, and the escaping of
// texts for the terminal and for XML.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zepreport {

// Lower-case hexadecimal digits only, at least one; false when empty, when
// another character occurs or when the value does not fit 64 bits.
bool parseHex(std::string_view digits, uint64_t &value);
// Decimal digits only, at least one, fitting 64 bits.
bool parseDecimal(std::string_view digits, uint64_t &value);

// "12h 34h": a checksum pair the way the record files write it.
std::string checksumText(uint32_t a, uint32_t b);
// Lower-case hexadecimal with the "h" of the record files: "1ah".
std::string hexText(uint64_t value);

// text between double quotes, with backslash, quote and control characters
// escaped C-style; at most limit bytes of text are shown, then "...".
std::string quoted(std::string_view text, size_t limit = SIZE_MAX);
// text on one line: line breaks and tabs become spaces, other control
// characters are written as \xNN.
std::string oneLine(std::string_view text);
// text without the blanks at its ends: a PRINT item's expression comes with
// the blank after the comma that separated it.
std::string_view trimmed(std::string_view text);

// text as it is, but with line breaks, tabs and other control characters
// written C-style (\n, \t, \xNN), for printed values.
std::string visible(std::string_view text);

// text for XML character data (attribute true: for a quoted attribute value).
// Invalid UTF-8 becomes U+FFFD; control characters XML cannot carry are
// written as \xNN.
std::string xmlEscape(std::string_view text, bool attribute);

// A path without "./" components: "/src/./a.otd" becomes "/src/a.otd".
std::string tidyPath(std::string_view path);

} // namespace zepreport
