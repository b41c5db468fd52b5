// Inheritance expansion of long chains of bases: flattened when written base
// first, refused past the nesting limit when written derived first. What a
// derived class holds is checked through the output by the end-to-end cases.
#include "parser/parser.h"
#include "semantic/semantic.h"
#include "test_support.h"

#include <string>
#include <vector>

namespace {

class Expansion : public TreeState {
protected:
    // The scope index outlives a tree unless it is cleared.
    void SetUp() override
    {
        TreeState::SetUp();
        clearScopes(run);
    }

    void TearDown() override
    {
        clearScopes(run);
        TreeState::TearDown();
    }

    // Writes a.otd and parses it; nothing may be reported.
    void parse(const std::string &text)
    {
        directory.write("a.otd", text);
        errors = captureStderr([&] { parseSourceFile(run, "a.otd", root, 0, nullptr); });
        ASSERT_EQ(errors, "");
        ASSERT_EQ(run->errorCount, 0u);
    }

    void firstResolve()
    {
        errors = captureStderr([&] { resolve(run, root); });
        ASSERT_EQ(errors, "");
        ASSERT_EQ(run->errorCount, 0u);
    }

    // Expansion and the second resolution, as the run does them.
    void expandAndResolve()
    {
        int result = 0;
        errors = captureStderr([&] {
            result = expand(run, root);
            resolve(run, root);
        });
        ASSERT_EQ(result, 0);
        ASSERT_EQ(errors, "");
        ASSERT_EQ(run->errorCount, 0u);
    }

    void translate(const std::string &text)
    {
        ASSERT_NO_FATAL_FAILURE(parse(text));
        ASSERT_NO_FATAL_FAILURE(firstResolve());
        ASSERT_NO_FATAL_FAILURE(expandAndResolve());
    }

    static std::vector<Node *> children(const Node *node)
    {
        std::vector<Node *> found;
        for (Node *child = node->firstChild; child != nullptr; child = child->nextSibling)
            found.push_back(child);
        return found;
    }

    static Node *child(const Node *scope, uint32_t kind, const char *name)
    {
        for (Node *node : children(scope))
            if (node->kind == kind && node->name != nullptr && std::string(node->name) == name)
                return node;
        return nullptr;
    }

    Node *topClass(const char *name) const { return child(root, KIND_TEST_CLASS, name); }

    ScratchDirectory directory; // made before the Context, which reads the working directory
    std::string errors;
};

// C0 holds a test case; every Ci derives from C(i-1). Written from the most
// derived class down when reversed.
std::string chainOfBases(int length, bool reversed = false)
{
    std::vector<std::string> lines;
    lines.push_back("TEST CLASS C0 { TEST CASE t { } }\n");
    for (int i = 1; i < length; ++i)
        lines.push_back("TEST CLASS C" + std::to_string(i) + " : C" + std::to_string(i - 1) + " { }\n");
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += lines[reversed ? lines.size() - 1 - i : i];
    return text;
}

TEST_F(Expansion, LongChainsOfBasesAreFlattened)
{
    translate(chainOfBases(100, true));
    Node *last = topClass("C99");
    ASSERT_NE(last, nullptr);
    ASSERT_NE(last->firstChild, nullptr);
    EXPECT_EQ(last->firstChild->id, topClass("C0")->firstChild->id);
    EXPECT_EQ(last->firstChild->nextSibling, nullptr);
}

// Written derived first, a long chain makes expansion flatten each base on
// the way down, so its depth is refused; written base first, every base is
// flat already when its derived class is reached, and nothing nests.
TEST_F(Expansion, DeepChainWrittenDerivedFirstIsRefused)
{
    ASSERT_NO_FATAL_FAILURE(parse(chainOfBases(600, true)));
    errors = captureStderr([&] {
        resolve(run, root);
        if (run->errorCount == 0 && expand(run, root) == 0)
            resolve(run, root);
    });
    EXPECT_NE(errors.find("zepprepro - fatal: "), std::string::npos) << errors.substr(0, 400);
    EXPECT_NE(errors.find("internal error: "), std::string::npos) << errors.substr(0, 400);
}

TEST_F(Expansion, DeepChainWrittenBaseFirstIsFlattened)
{
    ASSERT_NO_FATAL_FAILURE(parse(chainOfBases(600, false)));
    errors = captureStderr([&] {
        resolve(run, root);
        if (run->errorCount == 0 && expand(run, root) == 0)
            resolve(run, root);
    });
    EXPECT_EQ(errors, "");
    EXPECT_EQ(run->errorCount, 0u);
}

} // namespace
