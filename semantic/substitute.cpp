// Substitution of actual parameters for formal ones in native texts.
#include "base/diagnostics.h"
#include "base/memory.h"
#include "semantic/semantic.h"

#include <cctype>
#include <cstring>

namespace {

// Where the scanner of one substitution stands in the text.
enum : int { IN_CODE, IN_STRING, IN_CHARACTER, IN_LINE_COMMENT, IN_BLOCK_COMMENT };

bool isIdentifierChar(char c)
{
    return isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The state after the character at text[i] (escapes are handled by the caller).
int nextState(int state, const char *text, size_t i)
{
    char c = text[i];
    switch (state) {
    case IN_CODE:
        if (c == '"')
            return IN_STRING;
        if (c == '\'')
            return IN_CHARACTER;
        if (c == '/' && text[i + 1] == '/')
            return IN_LINE_COMMENT;
        if (c == '/' && text[i + 1] == '*')
            return IN_BLOCK_COMMENT;
        return IN_CODE;
    case IN_STRING:
        return c == '"' ? IN_CODE : IN_STRING;
    case IN_CHARACTER:
        return c == '\'' ? IN_CODE : IN_CHARACTER;
    case IN_LINE_COMMENT:
        return c == '\n' ? IN_CODE : IN_LINE_COMMENT;
    default:
        return IN_BLOCK_COMMENT;
    }
}

// One scan of text for one binding into out; -1 when memory runs out,
// otherwise the number of replacements. The text between two replacements
// is copied in one piece.
int substituteOnce(const char *text, const Binding &binding, TextBuffer *out)
{
    size_t formalLength = strlen(binding.formal), actualLength = strlen(binding.actual);
    // In code only these bytes can begin a replacement or change the state:
    // the rest is passed over in one loop.
    bool marks[256] = {};
    for (char c : {'\0', '"', '\'', '/', '\\', binding.formal[0]})
        marks[static_cast<unsigned char>(c)] = true;
    int replaced = 0;
    int state = IN_CODE;
    size_t i = 0, copied = 0;
    for (;;) {
        if (state == IN_CODE) {
            while (!marks[static_cast<unsigned char>(text[i])])
                i++;
        }
        if (text[i] == '\0')
            break;
        if (state == IN_CODE && text[i] == binding.formal[0] &&
            strncmp(text + i, binding.formal, formalLength) == 0 &&
            (i == 0 || !isIdentifierChar(text[i - 1])) && !isIdentifierChar(text[i + formalLength])) {
            if (appendBytes(out, text + copied, i - copied) != 0 || appendBytes(out, binding.actual, actualLength) != 0)
                return -1;
            i += formalLength;
            copied = i;
            replaced++;
            continue;
        }
        // A backslash takes the next character with it, in every state.
        size_t length = text[i] == '\\' && text[i + 1] != '\0' ? 2 : 1;
        if (length == 1) {
            int next = nextState(state, text, i);
            if (state == IN_CODE && (next == IN_LINE_COMMENT || next == IN_BLOCK_COMMENT))
                length = 2; // the comment's opening pair
            else if (state == IN_BLOCK_COMMENT && text[i] == '*' && text[i + 1] == '/') {
                length = 2;
                next = IN_CODE;
            }
            state = next;
        }
        i += length;
    }
    return appendBytes(out, text + copied, i - copied) == 0 ? replaced : -1;
}

} // namespace

const char *substituteScratch(Run *run, const char *text, const Binding *bindings, SubstitutionScratch *scratch)
{
    const char *current = text;
    for (const Binding *binding = bindings; binding != nullptr; binding = binding->next) {
        // An empty formal would match between every two characters.
        if (binding->masked != 0 || binding->formal == nullptr || *binding->formal == '\0')
            continue;
        // Most texts name few of the formals in force; a text without the
        // formal anywhere needs no scan and no buffer.
        if (strstr(current, binding->formal) == nullptr)
            continue;
        // Each pass reads the text the last one made, so it writes the other
        // buffer.
        TextBuffer *out = &scratch->buffers[current == scratch->buffers[0].text ? 1 : 0];
        if (out->capacity == 0 && initTextBuffer(out) != 0) {
            report(run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
            return nullptr;
        }
        out->length = 0;
        int replaced = substituteOnce(current, *binding, out);
        if (replaced < 0) {
            report(run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
            return nullptr;
        }
        if (replaced > 0)
            current = out->text;
    }
    return current;
}

void freeSubstitutionScratch(SubstitutionScratch *scratch)
{
    freeTextBuffer(&scratch->buffers[0]);
    freeTextBuffer(&scratch->buffers[1]);
}

const char *keepSubstitution(Run *run, const char *text, const char *result)
{
    if (result == nullptr || result == text)
        return result;
    // The pool keeps an exact copy, not the buffer with its room to grow.
    const char *kept = internCopy(run, result, strlen(result));
    if (kept == nullptr)
        report(run, MESSAGE_NO_FREE_MEMORY, nullptr, 0);
    return kept;
}

const char *substituteText(Run *run, const char *text, const Binding *bindings)
{
    SubstitutionScratch scratch{};
    const char *result = keepSubstitution(run, text, substituteScratch(run, text, bindings, &scratch));
    freeSubstitutionScratch(&scratch);
    return result;
}
