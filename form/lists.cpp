// Name lists, parameter lists, qualified names, cell lists and text buffers.
#include "base/diagnostics.h"
#include "form/form.h"
#include "base/memory.h"

#include <cstring>

enum : size_t { BUFFER_STEP = 2048 };

// Every NameSegment and NameEntry ever made is kept in the run's
// registries, newest first: cells may be shared between payloads and copies,
// so they are freed only from there. Where records are freed by number the
// chains need not be walked, which on a large script would touch every cell
// again at the end of the run.

void releaseSegments(Run *run)
{
    if (!zepFreeRecords(run->segmentCount)) {
        while (run->segmentRegistry != nullptr) {
            NameSegment *next = run->segmentRegistry->registryNext;
            zepFreeRecord(run->segmentRegistry);
            run->segmentRegistry = next;
        }
    }
    run->segmentRegistry = nullptr;
    run->segmentCount = 0;
}

void releaseParameters(Run *run)
{
    if (!zepFreeRecords(run->parameterCount)) {
        while (run->parameterRegistry != nullptr) {
            NameEntry *next = run->parameterRegistry->registryNext;
            zepFreeRecord(run->parameterRegistry);
            run->parameterRegistry = next;
        }
    }
    run->parameterRegistry = nullptr;
    run->parameterCount = 0;
}

int initTextBuffer(TextBuffer *buffer)
{
    buffer->text = static_cast<char *>(zepAllocBuffer(BUFFER_STEP));
    buffer->length = 0;
    buffer->capacity = 0;
    if (buffer->text == nullptr)
        return -1;
    buffer->capacity = BUFFER_STEP;
    buffer->text[0] = '\0';
    return 0;
}

// Each base has its own loop: a division by a constant is a multiplication,
// by a variable a division instruction, and every line and record writes
// several numbers. Decimal digits go two a step.
char *writeDigits(char *end, uint64_t value, unsigned base)
{
    if (base == 16) {
        do {
            *--end = "0123456789abcdef"[value & 15];
            value >>= 4;
        } while (value != 0);
        return end;
    }
    static const char PAIRS[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                "8081828384858687888990919293949596979899";
    while (value >= 100) {
        const char *pair = PAIRS + 2 * (value % 100);
        value /= 100;
        *--end = pair[1];
        *--end = pair[0];
    }
    if (value >= 10) {
        *--end = PAIRS[2 * value + 1];
        *--end = PAIRS[2 * value];
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

void freeTextBuffer(TextBuffer *buffer)
{
    zepFreeBuffer(buffer->text, buffer->capacity);
    buffer->text = nullptr;
    buffer->length = 0;
    buffer->capacity = 0;
}

// Makes room for extra more bytes and a terminator; the buffer at least
// doubles, so a long text is copied a few times only.
int reserveText(TextBuffer *buffer, size_t extra)
{
    size_t needed = buffer->length + extra + 1;
    if (needed <= buffer->capacity)
        return 0;
    size_t capacity = buffer->capacity + BUFFER_STEP;
    if (capacity < buffer->capacity * 2)
        capacity = buffer->capacity * 2;
    if (capacity < needed)
        capacity = needed;
    char *grown = static_cast<char *>(zepRealloc(buffer->text, capacity));
    if (grown == nullptr)
        return -1;
    buffer->text = grown;
    buffer->capacity = capacity;
    return 0;
}

int appendText(Run *run, TextBuffer *buffer, const char *text)
{
    if (appendBytes(buffer, text, strlen(text)) == 0)
        return 0;
    report(run, MESSAGE_NO_MEMORY_TO_GROW_BUFFER, nullptr, 0, messageArgument(buffer->text));
    freeTextBuffer(buffer);
    return -1;
}

// Makes an entry for one finished item, records it and appends it.
static bool endItem(Run *run, NameEntry **head, NameEntry **tail, const TextBuffer &item)
{
    NameEntry *entry = static_cast<NameEntry *>(zepAllocRecord(sizeof(NameEntry)));
    if (entry == nullptr)
        return false;
    const char *text = internCopy(run, item.text, item.length);
    if (text == nullptr) {
        zepFreeRecord(entry);
        return false;
    }
    *entry = {text, nullptr, nullptr, run->parameterRegistry};
    run->parameterRegistry = entry;
    run->parameterCount++;
    if (*tail != nullptr)
        (*tail)->next = entry;
    else
        *head = entry;
    *tail = entry;
    return true;
}

static bool isNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '+';
}

// name-list = [word] { "," [word] }, words of letters, digits, "_" and "+"
NameEntry *buildNameList(Run *run, const char *text)
{
    TextBuffer word;
    if (initTextBuffer(&word) != 0)
        return nullptr;
    NameEntry *head = nullptr, *tail = nullptr;
    bool inWord = false, blankSeen = true;
    for (const char *p = text;; p++) {
        char c = *p;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            blankSeen = true;
        } else if (c == ',' || c == '\0') {
            if (!endItem(run, &head, &tail, word))
                break;
            if (c == '\0') {
                freeTextBuffer(&word);
                return head;
            }
            word.length = 0;
            word.text[0] = '\0';
            inWord = false;
            blankSeen = true;
        } else if (isNameByte(c)) {
            if ((inWord && blankSeen) || appendBytes(&word, &c, 1) != 0)
                break;
            blankSeen = false;
            inWord = true;
        } else {
            break;
        }
    }
    freeTextBuffer(&word);
    return nullptr;
}

// State of the parameter splitter: a comma splits only at depth 0, outside
// quotes and when not escaped.
struct ParameterScan {
    long parentheses = 0;
    long angles = 0;
    unsigned long doubleQuotes = 0;
    unsigned long singleQuotes = 0;
    bool escaped = false;

    bool inQuotes() const { return (doubleQuotes & 1) || (singleQuotes & 1); }
    bool balanced() const { return parentheses == 0 && angles == 0 && !inQuotes() && !escaped; }

    // Notes the meaning of c; true when c is a comma that ends the item.
    bool splitsAt(char c)
    {
        if (escaped) {
            escaped = false;
            return false;
        }
        switch (c) {
        case '\\':
            escaped = true;
            break;
        case '"':
            if (!(singleQuotes & 1))
                doubleQuotes++;
            break;
        case '\'':
            if (!(doubleQuotes & 1))
                singleQuotes++;
            break;
        case '(': case ')': case '<': case '>':
            if (!inQuotes()) {
                long &depth = (c == '(' || c == ')') ? parentheses : angles;
                depth += (c == '(' || c == '<') ? 1 : -1;
            }
            break;
        case ',':
            return parentheses == 0 && angles == 0 && !inQuotes();
        }
        return false;
    }
};

// parameter-list = item { "," item }, split at top-level commas only
NameEntry *buildParameterList(Run *run, const char *text)
{
    TextBuffer item;
    if (initTextBuffer(&item) != 0)
        return nullptr;
    NameEntry *head = nullptr, *tail = nullptr;
    ParameterScan scan;
    for (const char *p = text;; p++) {
        char c = *p;
        if (c == '\0') {
            bool made = scan.balanced() && endItem(run, &head, &tail, item);
            freeTextBuffer(&item);
            return made ? head : nullptr;
        }
        if (scan.splitsAt(c)) {
            if (!endItem(run, &head, &tail, item))
                break;
            item.length = 0;
            item.text[0] = '\0';
            scan.parentheses = scan.angles = 0;
            scan.escaped = false;
        } else if (appendBytes(&item, &c, 1) != 0) {
            break;
        }
    }
    freeTextBuffer(&item);
    return nullptr;
}

NameSegment *appendSegment(Run *run, NameSegment *list, const char *text, NameEntry *arguments)
{
    NameSegment *segment = static_cast<NameSegment *>(zepAllocRecord(sizeof(NameSegment)));
    if (segment == nullptr)
        return nullptr;
    *segment = {text, arguments, nullptr, nullptr, run->segmentRegistry};
    run->segmentRegistry = segment;
    run->segmentCount++;
    if (list == nullptr)
        return segment;
    NameSegment *last = list;
    while (last->next != nullptr)
        last = last->next;
    last->next = segment;
    return list;
}

int copyNameList(Run *run, const NameEntry *list, NameEntry **copy)
{
    NameEntry *head = nullptr, *tail = nullptr;
    for (; list != nullptr; list = list->next) {
        NameEntry *entry = static_cast<NameEntry *>(zepAllocRecord(sizeof(NameEntry)));
        if (entry == nullptr)
            return -1;
        *entry = {list->text, list->formal, nullptr, run->parameterRegistry};
        run->parameterRegistry = entry;
        run->parameterCount++;
        if (tail != nullptr)
            tail->next = entry;
        else
            head = entry;
        tail = entry;
    }
    *copy = head;
    return 0;
}

Cell *appendCell(Cell *list, void *value)
{
    Cell *cell = static_cast<Cell *>(zepAlloc(sizeof(Cell)));
    if (cell == nullptr)
        return nullptr;
    *cell = {value, nullptr};
    if (list != nullptr) {
        while (list->next != nullptr)
            list = list->next;
        list->next = cell;
    }
    return cell;
}

void releaseCells(Cell *list)
{
    while (list != nullptr) {
        Cell *next = list->next;
        zepFree(list);
        list = next;
    }
}
