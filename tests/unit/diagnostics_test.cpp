// Message composition, argument substitution and the message limit.
#include "driver/diagnostics.h"
#include "test_support.h"

#include <string>

namespace {

class Diagnostics : public RunState {};

std::string substituted(const QString &text, const QString &a1 = QString(), const QString &a2 = QString(),
                        const QString &a3 = QString())
{
    const QString *arguments[] = {&a1, &a2, &a3};
    return substituteArguments(text, arguments, 3).toStdString();
}

TEST_F(Diagnostics, ArgumentsFillTheLowestPlaceholderLeftInOnePass)
{
    EXPECT_EQ(substituted("`%1' expected instead of `%2'.", "END", "EOF"), "`END' expected instead of `EOF'.");
    EXPECT_EQ(substituted("%2 before %1", "one", "two"), "two before one");
    // An argument's own text is not scanned again.
    EXPECT_EQ(substituted("%1 and %2", "%2", "x"), "%2 and x");
    EXPECT_EQ(substituted("[%1]", "100%"), "[100%]");
    // Absent arguments are skipped: the next present one takes the
    // placeholder, and placeholders without an argument stay.
    EXPECT_EQ(substituted("`%1' `%2'", QString(), "b"), "`b' `%2'");
    EXPECT_EQ(substituted("token `%1 %2'."), "token `%1 %2'.");
    // Surplus arguments are dropped.
    EXPECT_EQ(substituted("only %1", "a", "b", "c"), "only a");
    EXPECT_EQ(substituted("none", "a"), "none");
    // An empty (present) argument still takes its placeholder.
    EXPECT_EQ(substituted("<%1|%2>", QStringLiteral(""), "z"), "<|z>");
}

TEST_F(Diagnostics, MessageLineFormats)
{
    makeContext();
    std::string withLine = captureStderr([] { report(30, "a.otd", 3, "TEST CLASS", "X"); });
    EXPECT_EQ(withLine, "zepprepro - semantic error: a.otd:3: Unable to resolve the TEST CLASS `X'.\n");

    std::string lineZero = captureStderr([] { report(42, "sub/a.otd", 0, "sub/a.otd"); });
    EXPECT_EQ(lineZero, "zepprepro - error: sub/a.otd: Cannot open `sub/a.otd'.\n");

    std::string noFile = captureStderr([] { report(45, nullptr, 0); });
    EXPECT_EQ(noFile, "zepprepro - error: Cannot initialize internal form.\n");

    std::string noFileWithLine = captureStderr([] { report(42, nullptr, 9, "tests/a.otd"); });
    EXPECT_EQ(noFileWithLine, "zepprepro - error: Cannot open `tests/a.otd'.\n");

    std::string placeholderKept = captureStderr([] { report(6, "a.otd", 2); });
    EXPECT_EQ(placeholderKept, "zepprepro - lexical error: a.otd:2: Not enough memory to create the hash token `%1'.\n");

    std::string syntax = captureStderr([] { report(17, "b.otc", 41, "A", "B", "C", "D", "RETURN"); });
    EXPECT_EQ(syntax, "zepprepro - syntax error: b.otc:41: `A', 'B', 'C', or 'D' expected instead of `RETURN'.\n");

    std::string fatal = captureStderr([] { report(0, nullptr, 0, "boom"); });
    EXPECT_EQ(fatal, "zepprepro - fatal: internal error: boom\n");

    EXPECT_EQ(errorCount, 7u);
}

TEST_F(Diagnostics, LimitReplacesTheNextMessageAndThenOnlyCounts)
{
    makeContext();
    context->maxErrors = 1;
    std::string first = captureStderr([] { report(42, "a.otd", 3, "x.otd"); });
    EXPECT_EQ(first, "zepprepro - error: a.otd:3: Cannot open `x.otd'.\n");
    EXPECT_EQ(errorCount, 1u);

    // Whatever its class, the message at the limit prints as message 53
    // with its own location.
    std::string second = captureStderr([] { report(14, "b.otd", 7, "END", "EOF"); });
    EXPECT_EQ(second, "zepprepro - error: b.otd:7: Too many errors.\n");
    EXPECT_EQ(errorCount, 2u);

    std::string later = captureStderr([] {
        report(30, "c.otd", 1, "PROC", "p");
        report(45, nullptr, 0);
        report(42, "d.otd", 0, "d");
    });
    EXPECT_EQ(later, "");
    EXPECT_EQ(errorCount, 5u);
}

} // namespace
