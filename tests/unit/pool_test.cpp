// The string pool: equal texts become one pointer, the pool owns what it keeps.
#include "test_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class Pool : public RunState {};

TEST_F(Pool, ManyTextsStayFindable)
{
    // Enough texts to make any table grow several times; every one must
    // still map to the pointer it got first.
    std::vector<const char *> first;
    for (int i = 0; i < 5000; i++) {
        std::string text = "name_" + std::to_string(i) + (i % 2 ? "A" : "a");
        first.push_back(intern(run, zepCopyText(text.c_str())));
        ASSERT_NE(first.back(), nullptr);
    }
    for (int i = 0; i < 5000; i++) {
        std::string text = "name_" + std::to_string(i) + (i % 2 ? "A" : "a");
        ASSERT_EQ(internText(run, text.c_str()), first[i]) << text;
        EXPECT_STREQ(first[i], text.c_str());
    }
}

TEST_F(Pool, FailedEntryLeavesTheTextWithTheCaller)
{
    // The pool allocates only now and then, when it must grow: offer new
    // texts with the next allocation failing until one is refused.
    char *refused = nullptr;
    std::string name;
    for (int i = 0; i < 100000 && refused == nullptr; i++) {
        name = "orphan_" + std::to_string(i);
        char *text = zepCopyText(name.c_str());
        failAllocation(1);
        const char *result = intern(run, text);
        failAllocation(0);
        if (result == nullptr)
            refused = text;
        else
            EXPECT_EQ(result, text);
    }
    ASSERT_NE(refused, nullptr);
    // Still ours: freeing it must not be a double free, and the pool must
    // not hand the freed block out later.
    zepFree(refused);
    char *again = zepCopyText(name.c_str());
    EXPECT_EQ(intern(run, again), again);
    EXPECT_EQ(internText(run, "orphan_0"), findInterned(run, "orphan_0", 8));
    EXPECT_NE(findInterned(run, "orphan_0", 8), nullptr);
}

} // namespace
