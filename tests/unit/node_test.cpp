// Releasing a node of a kind the internal form does not know.
#include "driver/files.h"
#include "test_support.h"


namespace {

class Nodes : public RunState {
protected:
    void SetUp() override
    {
        RunState::SetUp();
        savedNextId = nextId;
        savedFileNo = currentFileNo;
        root = createRoot();
        ASSERT_NE(root, nullptr);
        place = {internText("/nowhere/"), internText("a.otd"), 12, {12, 14, 3, 9}, 1};
    }

    void TearDown() override
    {
        releaseTree(root);
        nextId = savedNextId;
        currentFileNo = savedFileNo;
        RunState::TearDown();
    }

    Node *root = nullptr;
    NodePlace place{};
    uint64_t savedNextId = 0;
    uint32_t savedFileNo = 0;
};

TEST_F(Nodes, ReleaseReportsAnUnknownKind)
{
    Node *odd = createPlainNode(root, 4242, internText("weird"), place);
    ASSERT_NE(odd, nullptr);
    Node *detached = root->firstChild;
    root->firstChild = root->lastChild = nullptr;
    detached->parent = nullptr;
    std::string errors = captureStderr([&] { releaseTree(detached); });
    EXPECT_EQ(errorCount, 1u);
    EXPECT_EQ(errors, "zepprepro - error: /nowhere/a.otd:12: Unknown token `weird' in internal form.\n");
}

} // namespace
