// Releasing a node of a kind the internal form does not know.
#include "test_support.h"

namespace {

class Nodes : public RunState {
protected:
    void SetUp() override
    {
        RunState::SetUp();
        root = createRoot();
        ASSERT_NE(root, nullptr);
        place = {internText(run, "/nowhere/"), internText(run, "a.otd"), internText(run, "/nowhere/a.otd"), 1, 12,
                 {12, 14, 3, 9}, 1};
    }

    void TearDown() override
    {
        releaseTree(run, root);
        RunState::TearDown();
    }

    Node *root = nullptr;
    NodePlace place{};
};

TEST_F(Nodes, ReleaseReportsAnUnknownKind)
{
    Node *odd = createPlainNode(run, root, 4242, internText(run, "weird"), place);
    ASSERT_NE(odd, nullptr);
    Node *detached = root->firstChild;
    root->firstChild = root->lastChild = nullptr;
    detached->parent = nullptr;
    std::string errors = captureStderr([&] { releaseTree(run, detached); });
    EXPECT_EQ(run->errorCount, 1u);
    EXPECT_EQ(errors, "zepprepro - error: /nowhere/a.otd:12: Unknown token `weird' in internal form.\n");
}

} // namespace
