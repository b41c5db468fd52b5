// Parameter substitution into copied texts: whole identifiers only, never
// inside literals or comments, bindings applied one after the other.
#include "semantic/semantic.h"
#include "test_support.h"

#include <deque>
#include <string>

namespace {

class Substitution : public RunState {
protected:
    // Appends a binding to the list under construction; returns it so that
    // a test can mask it.
    Binding *bind(const char *formal, const char *actual)
    {
        cells.push_back(Binding{internText(run, formal), internText(run, actual), 0, nullptr});
        Binding *binding = &cells.back();
        if (cells.size() > 1)
            cells[cells.size() - 2].next = binding;
        return binding;
    }

    const Binding *bindings() const { return cells.empty() ? nullptr : &cells.front(); }

    // The substituted text of a copy of text (a heap string the pool does
    // not know, so an unchanged result must be this very pointer).
    std::string apply(const std::string &text)
    {
        source = text;
        const char *result = substituteText(run, source.c_str(), bindings());
        EXPECT_NE(result, nullptr);
        return result == nullptr ? std::string("<null>") : std::string(result);
    }

    std::deque<Binding> cells; // a deque keeps the addresses stable
    std::string source;
};

TEST_F(Substitution, WholeIdentifiersInCodeOnly)
{
    bind("n", "3");
    // '+' belongs to words of the script language, not to C++ identifiers;
    // quotes, comment openers and backslashes are C++'s.
    const char *const CASES[][2] = {
        {"n > 0", "3 > 0"},
        {"nx + n_1 + xn + _n + n2 + 2n", "nx + n_1 + xn + _n + n2 + 2n"},
        {"(n)*n-n/n", "(3)*3-3/3"},
        {"f(n,n).n", "f(3,3).3"},
        {"n+1", "3+1"},
        {"printf(\"n = %d\", n)", "printf(\"n = %d\", 3)"},
        {"'n' == n", "'n' == 3"},
        {"\"x\"n", "\"x\"3"},
        {"\"// n\" + n", "\"// n\" + 3"},
        {"\"/* n\" + n", "\"/* n\" + 3"},
        {"\"\\\"n\" n", "\"\\\"n\" 3"},
        {"'\\'' n", "'\\'' 3"},
        {"\"\\\\\" n", "\"\\\\\" 3"},
        {"\\n n", "\\n 3"},
        {"n // n\nn", "3 // n\n3"},
        {"n // n", "3 // n"},
        {"/* n */n", "/* n */3"},
        {"n /* n\n n */ n", "3 /* n\n n */ 3"},
        {"/* \" */ n", "/* \" */ 3"},
        {"// 'x\nn", "// 'x\n3"},
    };
    for (const auto &[text, expected] : CASES)
        EXPECT_EQ(apply(text), expected) << text;
    cells.clear();
    bind("count", "c0");
    EXPECT_EQ(apply("count+counter-recount*count_ count"), "c0+counter-recount*count_ c0");
}

TEST_F(Substitution, ContinuesAfterTheReplacement)
{
    // The replacement text is not scanned again.
    bind("n", "(n+1)");
    EXPECT_EQ(apply("n*n"), "(n+1)*(n+1)");
}

TEST_F(Substitution, AppliesBindingsInListOrder)
{
    bind("a", "b");
    bind("b", "c");
    EXPECT_EQ(apply("a b"), "c c");
}

TEST_F(Substitution, SkipsMaskedAndEmptyFormals)
{
    Binding *masked = bind("n", "3");
    bind("", "zz");
    bind("m", "4");
    masked->masked = 1;
    EXPECT_EQ(apply("n + m"), "n + 4");
    masked->masked = 0;
    EXPECT_EQ(apply("n + m"), "3 + 4");
}

TEST_F(Substitution, GrowsPastTheFirstBlock)
{
    std::string big(3000, 'v');
    bind("n", big.c_str());
    EXPECT_EQ(apply("n, n"), big + ", " + big);
    // Many small replacements that together outgrow the first block.
    cells.clear();
    bind("n", "12");
    std::string many;
    std::string expected;
    for (int i = 0; i < 1500; ++i) {
        many += "n ";
        expected += "12 ";
    }
    EXPECT_EQ(apply(many), expected);
}

} // namespace
