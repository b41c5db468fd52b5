// Conversion of record texts from the locale's 8-bit encoding to UTF-8. The
// toolkit would take every text as UTF-8 and lose the bytes of a Latin-1
// name, so the locale's own charset is asked.
#include "records/records.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

namespace {

enum : int { CHARSET_UNKNOWN, CHARSET_UTF8, CHARSET_LATIN1, CHARSET_OTHER };

// What the locale's charset is, found on first use, and the converter from
// it when it is neither UTF-8 nor Latin-1: the locale is the process's.
struct {
    int charset = CHARSET_UNKNOWN;
    iconv_t converter;
} local;

int localCharset()
{
    if (local.charset != CHARSET_UNKNOWN)
        return local.charset;
    const char *codeset = nl_langinfo(CODESET);
    if (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0) {
        local.charset = CHARSET_UTF8;
    } else if (strcasecmp(codeset, "ANSI_X3.4-1968") == 0 || strcasecmp(codeset, "ASCII") == 0 ||
               strcasecmp(codeset, "ISO-8859-1") == 0) {
        // The C and POSIX locales take bytes of 0x80 and above as Latin-1,
        // so that no byte is lost.
        local.charset = CHARSET_LATIN1;
    } else {
        local.converter = iconv_open("UTF-8", codeset);
        local.charset = local.converter == reinterpret_cast<iconv_t>(-1) ? CHARSET_LATIN1 : CHARSET_OTHER;
    }
    return local.charset;
}

int appendLatin1(TextBuffer *buffer, unsigned char c)
{
    if (c < 0x80) {
        char plain = static_cast<char>(c);
        return appendBytes(buffer, &plain, 1);
    }
    char encoded[2] = {static_cast<char>(0xc0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3f))};
    return appendBytes(buffer, encoded, 2);
}

// Converts with iconv; a byte it cannot take is taken as Latin-1.
int appendConverted(TextBuffer *buffer, const char *text)
{
    char *in = const_cast<char *>(text);
    size_t left = strlen(text);
    iconv(local.converter, nullptr, nullptr, nullptr, nullptr);
    while (left > 0) {
        char chunk[256];
        char *out = chunk;
        size_t room = sizeof chunk;
        size_t result = iconv(local.converter, &in, &left, &out, &room);
        int error = errno;
        if (appendBytes(buffer, chunk, static_cast<size_t>(out - chunk)) != 0)
            return -1;
        if (result != static_cast<size_t>(-1) || error == E2BIG)
            continue;
        if (appendLatin1(buffer, static_cast<unsigned char>(*in)) != 0)
            return -1;
        in++;
        left--;
    }
    return 0;
}

} // namespace

int appendUtf8(TextBuffer *buffer, const char *text)
{
    switch (localCharset()) {
    case CHARSET_UTF8:
        return appendBytes(buffer, text, strlen(text));
    case CHARSET_OTHER:
        return appendConverted(buffer, text);
    default:
        // Plain ASCII, nearly every text, goes over in runs.
        for (const char *p = text; *p != '\0';) {
            const char *run = p;
            while (*p != '\0' && static_cast<unsigned char>(*p) < 0x80)
                p++;
            if (p > run && appendBytes(buffer, run, static_cast<size_t>(p - run)) != 0)
                return -1;
            if (*p != '\0' && appendLatin1(buffer, static_cast<unsigned char>(*p++)) != 0)
                return -1;
        }
        return 0;
    }
}
