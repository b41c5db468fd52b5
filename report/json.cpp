#include "report/json.h"

namespace zepreport {

namespace {

// gcov and llvm-cov nest less than ten deep; anything far deeper is not theirs.
constexpr int depthLimit = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : text(text) {}

    bool atEnd()
    {
        skipBlanks();
        return at == text.size();
    }

    bool value(Json &out, int depth)
    {
        skipBlanks();
        if (depth > depthLimit)
            return fail("nested too deeply");
        if (at == text.size())
            return fail("a value is missing");
        char c = text[at];
        if (c == '{')
            return object(out, depth);
        if (c == '[')
            return array(out, depth);
        if (c == '"') {
            out.kind = JsonText;
            return string(out.text);
        }
        if (c == '-' || (c >= '0' && c <= '9'))
            return number(out);
        for (const char *word : {"true", "false", "null"})
            if (text.substr(at, std::char_traits<char>::length(word)) == word) {
                at += std::char_traits<char>::length(word);
                out.kind = word[0] == 'n' ? JsonNull : JsonBool;
                out.flag = word[0] == 't';
                return true;
            }
        return fail("unexpected character");
    }

    std::string problem() const { return message + " at byte " + std::to_string(at); }

private:
    std::string_view text;
    size_t at = 0;
    std::string message;

    bool fail(const char *what)
    {
        message = what;
        return false;
    }

    void skipBlanks()
    {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\n' || text[at] == '\r' || text[at] == '\t'))
            at++;
    }

    bool take(char c)
    {
        skipBlanks();
        if (at < text.size() && text[at] == c) {
            at++;
            return true;
        }
        return false;
    }

    bool object(Json &out, int depth)
    {
        out.kind = JsonObject;
        at++;
        if (take('}'))
            return true;
        do {
            skipBlanks();
            std::string name;
            if (at == text.size() || text[at] != '"')
                return fail("a member name is missing");
            if (!string(name))
                return false;
            if (!take(':'))
                return fail("':' is missing");
            if (!value(out.members[name], depth + 1))
                return false;
        } while (take(','));
        return take('}') || fail("'}' is missing");
    }

    bool array(Json &out, int depth)
    {
        out.kind = JsonArray;
        at++;
        if (take(']'))
            return true;
        do {
            out.items.emplace_back();
            if (!value(out.items.back(), depth + 1))
                return false;
        } while (take(','));
        return take(']') || fail("']' is missing");
    }

    bool number(Json &out)
    {
        out.kind = JsonNumber;
        size_t start = at;
        bool digitsOnly = true;
        while (at < text.size() && std::string_view("+-.eE0123456789").find(text[at]) != std::string_view::npos) {
            digitsOnly = digitsOnly && text[at] >= '0' && text[at] <= '9';
            at++;
        }
        if (text[start] == '-' && at == start + 1)
            return fail("a number has no digits");
        out.integral = digitsOnly;
        for (size_t digit = start; digitsOnly && digit < at; digit++) {
            uint64_t next = out.number * 10 + static_cast<uint64_t>(text[digit] - '0');
            if (out.number > UINT64_MAX / 10 || next < out.number * 10)
                return fail("a number is too large");
            out.number = next;
        }
        return true;
    }

    bool hexDigits(uint32_t &code)
    {
        code = 0;
        for (int digit = 0; digit < 4; digit++, at++) {
            if (at == text.size())
                return fail("a \\u escape is cut off");
            char c = text[at];
            int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (value < 0)
                return fail("a \\u escape has a bad digit");
            code = code * 16 + static_cast<uint32_t>(value);
        }
        return true;
    }

    // UTF-8 of a code point; a lone surrogate becomes U+FFFD.
    static void appendCode(std::string &out, uint32_t code)
    {
        if (code >= 0xd800 && code <= 0xdfff)
            code = 0xfffd;
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }

    bool escape(std::string &out)
    {
        if (at == text.size())
            return fail("a string is cut off");
        char c = text[at++];
        const char *from = "\"\\/bfnrt", *to = "\"\\/\b\f\n\r\t";
        for (int which = 0; from[which]; which++)
            if (c == from[which]) {
                out += to[which];
                return true;
            }
        if (c != 'u')
            return fail("unknown escape");
        uint32_t code;
        if (!hexDigits(code))
            return false;
        if (code >= 0xd800 && code < 0xdc00 && text.substr(at, 2) == "\\u") {
            size_t high = code;
            at += 2;
            if (!hexDigits(code))
                return false;
            if (code >= 0xdc00 && code <= 0xdfff)
                code = static_cast<uint32_t>(0x10000 + ((high - 0xd800) << 10) + (code - 0xdc00));
            else
                appendCode(out, 0xfffd);
        }
        appendCode(out, code);
        return true;
    }

    bool string(std::string &out)
    {
        at++;
        while (at < text.size()) {
            char c = text[at++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return fail("a control character in a string");
            if (c != '\\')
                out += c;
            else if (!escape(out))
                return false;
        }
        return fail("a string is cut off");
    }
};

} // namespace

const Json *Json::member(const char *name) const
{
    auto found = members.find(name);
    return found == members.end() ? nullptr : &found->second;
}

bool parseJsonValues(std::string_view text, std::vector<Json> &values, std::string &error)
{
    Parser parser(text);
    while (!parser.atEnd()) {
        values.emplace_back();
        if (!parser.value(values.back(), 0)) {
            error = parser.problem();
            return false;
        }
    }
    return true;
}

} // namespace zepreport
