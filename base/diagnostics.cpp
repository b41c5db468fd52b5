// The message table and the one reporting routine.
#include "base/diagnostics.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace {

struct Message {
    MessageCode code;
    const char *text;
    unsigned messageClass;
};

constexpr const char *classWords[] = {
    QT_TRANSLATE_NOOP("ZEP Error", "info:"),
    QT_TRANSLATE_NOOP("ZEP Error", "warning:"),
    QT_TRANSLATE_NOOP("ZEP Error", "error:"),
    QT_TRANSLATE_NOOP("ZEP Error", "fatal:"),
    QT_TRANSLATE_NOOP("ZEP Error", "lexical error:"),
    QT_TRANSLATE_NOOP("ZEP Error", "syntax error:"),
    QT_TRANSLATE_NOOP("ZEP Error", "semantic error:"),
    QT_TRANSLATE_NOOP("ZEP Error", "error:"),
};

// Code 40 has no message; the codes after it keep their numbers.
constexpr Message messages[MESSAGE_COUNT] = {
    {MESSAGE_INTERNAL_ERROR, QT_TRANSLATE_NOOP("ZEP Error", "internal error: %1"), 3},
    {MESSAGE_OUT_OF_MEMORY, QT_TRANSLATE_NOOP("ZEP Error", "out of memory"), 3},
    {MESSAGE_NO_MEMORY_FOR_TOKEN, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to allocate another token."), 4},
    {MESSAGE_NO_MEMORY_TO_GROW_TOKEN, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to reallocate the token `%1'."), 4},
    {MESSAGE_NO_MEMORY_TO_MAKE_TOKEN, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to create the token `%1'."), 4},
    {MESSAGE_NO_MEMORY_TO_MAKE_TOKEN_PAIR, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to create the token `%1 %2'."), 4},
    {MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to create the hash token `%1'."), 4},
    {MESSAGE_NO_MEMORY_TO_MAKE_HASH_TOKEN_PAIR, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to create the hash token `%1 %2'."), 4},
    {MESSAGE_LEXICAL_SEEK_FAILED, QT_TRANSLATE_NOOP("ZEP Error", "Error while seeking in the file before `%1'."), 4},
    {MESSAGE_USE_NOT_ALLOWED, QT_TRANSLATE_NOOP("ZEP Error", "The use of `%1' is not allowed here."), 4},
    {MESSAGE_LEXICAL_EXPECTED, QT_TRANSLATE_NOOP("ZEP Error", "`%1' expected instead of `%2'."), 4},
    {MESSAGE_LEXICAL_EXPECTED_TWO, QT_TRANSLATE_NOOP("ZEP Error", "`%1' or '%2' expected instead of `%3'."), 4},
    {MESSAGE_LEXICAL_EXPECTED_THREE, QT_TRANSLATE_NOOP("ZEP Error", "`%1', '%2' or '%3' expected instead of `%4'."), 4},
    {MESSAGE_NATIVE_EXPRESSION_EXPECTED, QT_TRANSLATE_NOOP("ZEP Error", "Correct native expression expected."), 4},
    {MESSAGE_EXPECTED, QT_TRANSLATE_NOOP("ZEP Error", "`%1' expected instead of `%2'."), 5},
    {MESSAGE_EXPECTED_TWO, QT_TRANSLATE_NOOP("ZEP Error", "`%1' or '%2' expected instead of `%3'."), 5},
    {MESSAGE_EXPECTED_THREE, QT_TRANSLATE_NOOP("ZEP Error", "`%1', '%2' or '%3' expected instead of `%4'."), 5},
    {MESSAGE_EXPECTED_FOUR, QT_TRANSLATE_NOOP("ZEP Error", "`%1', '%2', '%3', or '%4' expected instead of `%5'."), 5},
    {MESSAGE_NAME_EXPECTED, QT_TRANSLATE_NOOP("ZEP Error", "`%1' name expected instead of `%2'."), 5},
    {MESSAGE_NAME_EXPECTED_TWO, QT_TRANSLATE_NOOP("ZEP Error", "`%1' or '%2' name expected instead of `%3'."), 5},
    {MESSAGE_NAME_EXPECTED_THREE, QT_TRANSLATE_NOOP("ZEP Error", "`%1', '%2' or '%3' name expected instead of `%4'."), 5},
    {MESSAGE_EXPRESSION_EXPECTED, QT_TRANSLATE_NOOP("ZEP Error", "`%1' expression expected instead of `%2'."), 5},
    {MESSAGE_SYNTAX_SEEK_FAILED, QT_TRANSLATE_NOOP("ZEP Error", "Error while seeking in the file before `%1'."), 5},
    {MESSAGE_NOT_A_COMPONENT, QT_TRANSLATE_NOOP("ZEP Error", "`%1' is not %2 component."), 5},
    {MESSAGE_SYNTAX_NO_MEMORY_FOR_TOKEN, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to allocate another token."), 5},
    {MESSAGE_NOT_EXPECTED, QT_TRANSLATE_NOOP("ZEP Error", "%1 `%2' not expected."), 5},
    {MESSAGE_NO_PARAMETER_LIST, QT_TRANSLATE_NOOP("ZEP Error", "Cannot create list of parameters `(%1)'."), 5},
    {MESSAGE_NOT_EXPECTED_NOW, QT_TRANSLATE_NOOP("ZEP Error", "`%1' not expected now."), 5},
    {MESSAGE_COMPONENT_DEFINED, QT_TRANSLATE_NOOP("ZEP Error", "The %1 component is already defined in this block."), 6},
    {MESSAGE_NAMED_COMPONENT_DEFINED, QT_TRANSLATE_NOOP("ZEP Error", "The %1 component `%2' is already defined in this block."), 6},
    {MESSAGE_UNRESOLVED, QT_TRANSLATE_NOOP("ZEP Error", "Unable to resolve the %1 `%2'."), 6},
    {MESSAGE_SELF_INHERITANCE, QT_TRANSLATE_NOOP("ZEP Error", "The TEST CLASS `%1' could not inherit from itself."), 6},
    {MESSAGE_COMPONENT_NOT_FOUND, QT_TRANSLATE_NOOP("ZEP Error", "Component `%1' not found, while resolving `%2'."), 6},
    {MESSAGE_PARAMETER_COUNT, QT_TRANSLATE_NOOP("ZEP Error", "Too %1 parameters in `%2'."), 6},
    {MESSAGE_MUST_BE_BROTHER, QT_TRANSLATE_NOOP("ZEP Error", "`%1' must be a brother of `%2' while resolving `%3'."), 6},
    {MESSAGE_ALREADY_INCLUDED, QT_TRANSLATE_NOOP("ZEP Error", "The file `%1' has already been included."), 6},
    {MESSAGE_INHERITANCE_CYCLE, QT_TRANSLATE_NOOP("ZEP Error",
                       "While resolving the TEST CLASS `%1', an inheritance cycle was found in `%2' ."), 6},
    {MESSAGE_RUN_CYCLE, QT_TRANSLATE_NOOP("ZEP Error", "While resolving the RUN of `%1', an execution cycle was found."), 6},
    {MESSAGE_PROC_CYCLE, QT_TRANSLATE_NOOP("ZEP Error", "While resolving the CALL of `%1', a PROC cycle was found."), 6},
    {MESSAGE_REFLEXIVE_TRANSITION, QT_TRANSLATE_NOOP("ZEP Error", "The reflexive transition `%1' is not allowed (automatically generated)."), 6},
    {MESSAGE_VACANT, nullptr, 3},
    {MESSAGE_NO_MEMORY_TO_GROW_BUFFER, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to reallocate the buffer `%1'."), 4},
    {MESSAGE_CANNOT_OPEN, QT_TRANSLATE_NOOP("ZEP Error", "Cannot open `%1'."), 7},
    {MESSAGE_CANNOT_CREATE, QT_TRANSLATE_NOOP("ZEP Error", "Cannot create `%1'."), 7},
    {MESSAGE_CANNOT_CLOSE, QT_TRANSLATE_NOOP("ZEP Error", "Cannot close `%1'."), 7},
    {MESSAGE_CANNOT_INITIALIZE, QT_TRANSLATE_NOOP("ZEP Error", "Cannot initialize internal form."), 7},
    {MESSAGE_NODE_NOT_BUILT, QT_TRANSLATE_NOOP("ZEP Error", "Error while building %1 `%2' node."), 7},
    {MESSAGE_NO_MEMORY_FOR_FILENAME, QT_TRANSLATE_NOOP("ZEP Error", "Not enough memory to allocate filename `%1'."), 7},
    {MESSAGE_UNKNOWN_TOKEN, QT_TRANSLATE_NOOP("ZEP Error", "Unknown token `%1' in internal form."), 7},
    {MESSAGE_NULL_RESOLUTION, QT_TRANSLATE_NOOP("ZEP Error", "Trying to resolve a NULL pointer."), 7},
    {MESSAGE_NO_FREE_MEMORY, QT_TRANSLATE_NOOP("ZEP Error", "Not enough free memory available."), 7},
    {MESSAGE_LABEL_NOT_FOUND, QT_TRANSLATE_NOOP("ZEP Error", "Label `%1' not found."), 7},
    {MESSAGE_TOO_MANY_FILES, QT_TRANSLATE_NOOP("ZEP Error", "Cannot open `%1', too many files open."), 7},
    {MESSAGE_TOO_MANY_ERRORS, QT_TRANSLATE_NOOP("ZEP Error", "Too many errors."), 7},
    {MESSAGE_NOT_A_SOURCE, QT_TRANSLATE_NOOP("ZEP Error", "Cannot open `%1', not a correct Duvodu Doruruv source file."), 7},
    {MESSAGE_ONE_OTD_ONLY, QT_TRANSLATE_NOOP("ZEP Error",
                       "Cannot open `%1', only one OTD source file must be passed on the command line."), 7},
    {MESSAGE_BAD_OPTION_VALUE, QT_TRANSLATE_NOOP("ZEP Error", "`%1' is not a good parameter for the `%2' option."), 7},
    {MESSAGE_OPTION_NEEDS_ARGUMENT, QT_TRANSLATE_NOOP("ZEP Error", "One argument is needed for the `%1' option."), 7},
    {MESSAGE_MAX_ERRORS_RANGE, QT_TRANSLATE_NOOP("ZEP Error", "The maximum number of errors can range from 1 to 30000."), 7},
    {MESSAGE_NO_SOURCES, QT_TRANSLATE_NOOP("ZEP Error", "OTD or OTC source files must be specified on the command line."), 7},
    {MESSAGE_OPTION_MISSING, QT_TRANSLATE_NOOP("ZEP Error", "The `%1' option must be specified."), 7},
    {MESSAGE_OPTION_REPEATED, QT_TRANSLATE_NOOP("ZEP Error", "The `%1' option must be specified only once."), 7},
    {MESSAGE_UNEXPECTED, QT_TRANSLATE_NOOP("ZEP Error", "(unexpected error)"), 3},
};

// Each entry stands at the place its code names.
constexpr bool tableInOrder()
{
    for (unsigned code = 0; code < MESSAGE_COUNT; code++) {
        if (messages[code].code != code)
            return false;
    }
    return true;
}
static_assert(tableInOrder(), "the message table follows the order of MessageCode");

// A code outside the table, or the empty slot, prints the unexpected error.
const Message &messageFor(unsigned code)
{
    if (code >= MESSAGE_COUNT || messages[code].text == nullptr)
        return messages[MESSAGE_UNEXPECTED];
    return messages[code];
}

QString translateError(const char *text)
{
    return QCoreApplication::translate("ZEP Error", text);
}

// The placeholder number at text[i] ("%1" to "%99"), or 0 when none starts there.
int placeholderAt(const QString &text, qsizetype i, qsizetype *width)
{
    if (text[i] != u'%' || i + 1 >= text.size() || !text[i + 1].isDigit())
        return 0;
    int number = text[i + 1].digitValue();
    *width = 2;
    if (i + 2 < text.size() && text[i + 2].isDigit()) {
        number = number * 10 + text[i + 2].digitValue();
        *width = 3;
    }
    return number;
}

} // namespace

QString messageArgument(const char *text)
{
    return text != nullptr ? QString::fromLocal8Bit(text) : QString();
}

QString substituteArguments(const QString &text, const QString *const *arguments, int count)
{
    bool present[100] = {};
    for (qsizetype i = 0, width = 0; i < text.size(); i++)
        present[placeholderAt(text, i, &width)] = true;
    // Give each present argument, in order, the lowest placeholder number
    // not yet given; surplus arguments are dropped.
    int assigned[100] = {};
    int lastNumber = 0;
    qsizetype length = text.size();
    for (int a = 0; a < count; a++) {
        if (arguments[a] == nullptr || arguments[a]->isNull())
            continue;
        int lowest = lastNumber + 1;
        while (lowest < 100 && !present[lowest])
            lowest++;
        if (lowest == 100)
            break;
        assigned[lowest] = a + 1;
        lastNumber = lowest;
        length += arguments[a]->size();
    }
    QString result;
    result.reserve(length);
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype width = 0;
        int number = placeholderAt(text, i, &width);
        if (number != 0 && assigned[number] != 0) {
            result.append(text.constData() + copied, i - copied);
            result += *arguments[assigned[number] - 1];
            i += width;
            copied = i;
        } else {
            i++;
        }
    }
    result.append(text.constData() + copied, text.size() - copied);
    return result;
}

QString substituteArguments(const QString &text, const QString &a1, const QString &a2)
{
    const QString *arguments[] = {&a1, &a2};
    return substituteArguments(text, arguments, 2);
}

void writeError(const QString &text)
{
    fputs(text.toLocal8Bit().constData(), stderr);
}

static void printMessage(const Diagnostics *diagnostics, unsigned code, const char *file, uint64_t line,
                         const QString &a1, const QString &a2, const QString &a3, const QString &a4,
                         const QString &a5)
{
    const Message &message = messageFor(code);
    const QString *arguments[] = {&a1, &a2, &a3, &a4, &a5};
    const RunHooks *hooks = diagnostics->hooks;
    if (hooks != nullptr && hooks->deliver != nullptr) {
        ReportedMessage reported{code, file, line, diagnostics->column,
                                 substituteArguments(translateError(message.text), arguments, 5)};
        hooks->deliver(hooks->owner, reported);
        return;
    }
    // The line is made in one string and written at once: a run full of
    // messages costs one system call and few allocations for each.
    QString text = translateError(message.text);
    QString printed;
    printed.reserve(80 + text.size());
    printed += QLatin1StringView("zepprepro - ");
    printed += translateError(classWords[message.messageClass]);
    printed += u' ';
    if (file != nullptr) {
        printed += QString::fromLocal8Bit(file);
        printed += u':';
        if (line != 0) {
            printed += QString::number(line);
            printed += u':';
        }
        printed += u' ';
    }
    printed += substituteArguments(text, arguments, 5);
    printed += u'\n';
    writeError(printed);
}

void report(Diagnostics *diagnostics, unsigned code, const char *file, uint64_t line, const QString &a1,
            const QString &a2, const QString &a3, const QString &a4, const QString &a5)
{
    uint64_t limit = diagnostics->maxErrors;
    if (diagnostics->errorCount < limit)
        printMessage(diagnostics, code, file, line, a1, a2, a3, a4, a5);
    else if (diagnostics->errorCount == limit)
        printMessage(diagnostics, MESSAGE_TOO_MANY_ERRORS, file, line, QString(), QString(), QString(), QString(),
                     QString());
    diagnostics->errorCount++;
}

void reportAtColumn(Diagnostics *diagnostics, unsigned code, const char *file, uint64_t line, uint64_t column,
                    const QString &a1, const QString &a2, const QString &a3, const QString &a4, const QString &a5)
{
    diagnostics->column = column;
    report(diagnostics, code, file, line, a1, a2, a3, a4, a5);
    diagnostics->column = 0;
}

QString phrase(const char *text)
{
    return QCoreApplication::translate("ZEP Error Parameter", text);
}

// A missing catalogue is no error: its texts stay in English.
void installTranslations(QCoreApplication *application, const QString &directory)
{
    const char *const prefixes[] = {"veldident_", "zepprepro_"};
    for (const char *prefix : prefixes) {
        auto *translator = new QTranslator(application);
        if (translator->load(QString::fromLatin1(prefix) + QLocale::system().name(), directory))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
