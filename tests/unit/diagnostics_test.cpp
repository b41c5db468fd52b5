// Message composition, argument substitution and the message limit.
#include "base/diagnostics.h"
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

} // namespace
