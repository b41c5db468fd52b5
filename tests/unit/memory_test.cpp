#include "form/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int threadsNow()
{
    FILE *status = fopen("/proc/self/status", "r");
    if (status == nullptr)
        return -1;
    char line[256];
    int threads = -1;
    while (fgets(line, sizeof line, status) != nullptr) {
        if (sscanf(line, "Threads: %d", &threads) == 1)
            break;
    }
    fclose(status);
    return threads;
}

struct Made {
    unsigned char *bytes;
    size_t size;
};

// Records of many sizes, one larger than a block, each filled with bytes of
// its own; the sizes repeat so that every block is cut in a different way.
std::vector<Made> makeRecords(size_t total)
{
    static const size_t SIZES[] = {8, 40, 152, 24, 1000, 64, 3000, 16};
    std::vector<Made> made;
    size_t sum = 0;
    for (size_t i = 0; sum < total; i++) {
        size_t size = i == 1000 ? (3u << 20) : SIZES[i % (sizeof SIZES / sizeof SIZES[0])];
        auto *bytes = static_cast<unsigned char *>(zepAllocRecord(size));
        if (bytes == nullptr)
            break;
        memset(bytes, static_cast<int>(i * 7 + 1), size);
        made.push_back({bytes, size});
        sum += size;
    }
    return made;
}

size_t firstSpoiled(const std::vector<Made> &made)
{
    for (size_t i = 0; i < made.size(); i++) {
        auto expected = static_cast<unsigned char>(i * 7 + 1);
        for (size_t k = 0; k < made[i].size; k++) {
            if (made[i].bytes[k] != expected)
                return i;
        }
    }
    return made.size();
}

} // namespace

TEST(RecordMemory, RecordsOfManyBlocksKeepTheirBytesAndTheHelperEndsWithThem)
{
    int before = threadsNow();
    std::vector<Made> made = makeRecords(24u << 20);
    ASSERT_GT(made.size(), 1000u);
    EXPECT_EQ(firstSpoiled(made), made.size());
    if (!zepFreeRecords(made.size())) {
        // Each record a block of its own: no blocks, no helper.
        for (const Made &record : made)
            zepFreeRecord(record.bytes);
        EXPECT_EQ(threadsNow(), before);
        return;
    }
    EXPECT_EQ(threadsNow(), before);

    // A second run makes its blocks and its helper afresh.
    made = makeRecords(8u << 20);
    EXPECT_EQ(firstSpoiled(made), made.size());
    ASSERT_TRUE(zepFreeRecords(made.size()));
    EXPECT_EQ(threadsNow(), before);
}

TEST(RecordMemory, RecordsOfOneBlockStartNoThread)
{
    int before = threadsNow();
    std::vector<Made> made;
    for (size_t i = 0; i < 10000; i++) {
        auto *bytes = static_cast<unsigned char *>(zepAllocRecord(100));
        ASSERT_NE(bytes, nullptr);
        made.push_back({bytes, 100});
    }
    EXPECT_EQ(threadsNow(), before);
    if (!zepFreeRecords(made.size())) {
        for (const Made &record : made)
            zepFreeRecord(record.bytes);
    }
}
