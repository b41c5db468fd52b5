// Number parsing and text escaping for zepreport.
#include "report/text.h"

#include <cstdio>

namespace zepreport {

bool parseHex(std::string_view digits, uint64_t &value)
{
    if (digits.empty())
        return false;
    uint64_t result = 0;
    for (char c : digits) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else
            return false;
        if (result > (UINT64_MAX >> 4))
            return false;
        result = (result << 4) | digit;
    }
    value = result;
    return true;
}

bool parseDecimal(std::string_view digits, uint64_t &value)
{
    if (digits.empty())
        return false;
    uint64_t result = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        unsigned digit = static_cast<unsigned>(c - '0');
        if (result > (UINT64_MAX - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

std::string hexText(uint64_t value)
{
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%llxh", static_cast<unsigned long long>(value));
    return buffer;
}

std::string checksumText(uint32_t a, uint32_t b)
{
    return hexText(a) + " " + hexText(b);
}

namespace {

void appendByteEscape(std::string &out, unsigned char c)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
    out += buffer;
}

// One byte of a value as a reader can see it: line ends and tabs as their C
// escapes, other control bytes as \xNN.
void appendVisible(std::string &out, char ch)
{
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
        if (c < 0x20 || c == 0x7f)
            appendByteEscape(out, c);
        else
            out += ch;
    }
}

} // namespace

std::string quoted(std::string_view text, size_t limit)
{
    std::string out = "\"";
    size_t shown = 0;
    for (char ch : text) {
        if (shown++ == limit) {
            out += "...";
            break;
        }
        if (ch == '\\' || ch == '"')
            out += '\\';
        appendVisible(out, ch);
    }
    out += '"';
    return out;
}

std::string oneLine(std::string_view text)
{
    std::string out;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\n' || c == '\r' || c == '\t')
            out += ' ';
        else if (c < 0x20 || c == 0x7f)
            appendByteEscape(out, c);
        else
            out += ch;
    }
    return out;
}

std::string_view trimmed(std::string_view text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string visible(std::string_view text)
{
    std::string out;
    for (char ch : text)
        appendVisible(out, ch);
    return out;
}

namespace {

// Length of the well-formed UTF-8 sequence at text[at], or 0.
size_t utf8Length(std::string_view text, size_t at, uint32_t &code)
{
    unsigned char first = static_cast<unsigned char>(text[at]);
    size_t length;
    uint32_t minimum;
    if (first < 0x80) {
        code = first;
        return 1;
    } else if ((first & 0xe0) == 0xc0) {
        length = 2, minimum = 0x80, code = first & 0x1f;
    } else if ((first & 0xf0) == 0xe0) {
        length = 3, minimum = 0x800, code = first & 0x0f;
    } else if ((first & 0xf8) == 0xf0) {
        length = 4, minimum = 0x10000, code = first & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    for (size_t i = 1; i < length; i++) {
        unsigned char next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3f);
    }
    if (code < minimum || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return length;
}

} // namespace

std::string xmlEscape(std::string_view text, bool attribute)
{
    static const char replacement[] = "\xef\xbf\xbd";
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        uint32_t code = 0;
        size_t length = utf8Length(text, at, code);
        if (length == 0) {
            out += replacement;
            at++;
            continue;
        }
        if (length > 1) {
            if (code == 0xfffe || code == 0xffff)
                out += replacement;
            else
                out.append(text.substr(at, length));
            at += length;
            continue;
        }
        at++;
        char c = static_cast<char>(code);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\r': out += "&#13;"; break;
        case '\n': out += attribute ? "&#10;" : "\n"; break;
        case '\t': out += attribute ? "&#9;" : "\t"; break;
        default:
            if (code < 0x20)
                appendByteEscape(out, static_cast<unsigned char>(code));
            else
                out += c;
        }
    }
    return out;
}

std::string tidyPath(std::string_view path)
{
    std::string out(path);
    for (size_t at; (at = out.find("/./")) != std::string::npos;)
        out.erase(at, 2);
    while (out.size() > 2 && out.compare(0, 2, "./") == 0)
        out.erase(0, 2);
    return out;
}

} // namespace zepreport
