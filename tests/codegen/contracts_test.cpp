// Contract fragments of hand-altered trees: what no script can give but the
// generator must still write soundly.
#include "codegen/codegen.h"
#include "parser/parser.h"
#include "semantic/semantic.h"
#include "test_support.h"

#include <fstream>
#include <sstream>
#include <string>

namespace {

class ContractFragments : public TreeState {
protected:
    void parse(const std::string &text)
    {
        directory.write("a.otc", text);
        std::string errors = captureStderr([&] {
            parseSourceFile("a.otc", root, 0, nullptr);
            resolve(root);
        });
        ASSERT_EQ(errors, "");
        ASSERT_EQ(errorCount, 0u);
    }

    // The instrumentation file of the tree as it stands, without #line.
    std::string instrumentation()
    {
        context->codePath = "a.cc";
        context->instrPath = "a.oti";
        context->dynamicPath = "run.tdf";
        context->noLineDirectives = 1;
        int result = 0;
        std::string errors = captureStderr([&] { result = generate(root); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(errors, "");
        fclose(context->codeStream);
        fclose(context->instrStream);
        context->codeStream = context->instrStream = nullptr;
        std::ifstream in("a.oti", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ScratchDirectory directory;
};

Node *childOfKind(Node *parent, uint32_t kind)
{
    for (Node *child = parent->firstChild; child != nullptr; child = child->nextSibling) {
        if (child->kind == kind)
            return child;
    }
    return nullptr;
}

// The grammar ends a signature only at REQUIRE or ENSURE, so a WRAP without
// clauses exists only when its clause could not be built; with the clause
// taken away, the WRAP gives its own fragment and the invariant follows it.
TEST_F(ContractFragments, WrapWithoutClausesGivesOnlyItsFragment)
{
    parse("CLASS Lift\n{\n   WRAP void stop() REQUIRE (moving)\n   INVARIANT (floor >= 0);\n}\n");
    Node *lift = childOfKind(root, KIND_CLASS);
    ASSERT_NE(lift, nullptr);
    Node *wrap = childOfKind(lift, KIND_WRAP);
    ASSERT_NE(wrap, nullptr);
    Node *clause = wrap->firstChild;
    ASSERT_NE(clause, nullptr);
    wrap->firstChild = wrap->lastChild = nullptr;
    releaseTree(clause);

    std::string text = instrumentation();
    std::string fragment = "@WRP@  \n" + std::string(wrap->name) + "\n@SLI@ \na.otc:3\n\n@INV@ \n";
    EXPECT_NE(text.find(fragment), std::string::npos) << text;
    EXPECT_EQ(text.find("@PRE@ "), std::string::npos) << text;
    EXPECT_EQ(text.find("@POS@ "), std::string::npos) << text;
}

} // namespace
