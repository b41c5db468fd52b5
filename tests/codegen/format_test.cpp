// The generator formats its lines itself for the common conversions and
// through the C library for the rest: either way a line must read as the
// C library would write it, the first time a pattern is used and after.
#include "codegen/codegen.h"
#include "test_support.h"

#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

class Formatting : public RunState {
protected:
    void SetUp() override
    {
        RunState::SetUp();
        makeContext();
        ASSERT_EQ(initTextBuffer(&captured), 0);
        gen->run = run;
        gen->captureBuffer = &captured;
    }

    void TearDown() override
    {
        freeTextBuffer(&captured);
        RunState::TearDown();
    }

    // What the lines written since the last call hold.
    std::string taken()
    {
        std::string text(captured.text, captured.length);
        captured.length = 0;
        return text;
    }

    TextBuffer captured{};
    GenState state{};
    GenState *gen = &state;
};

template <typename... Values> std::string printed(const char *pattern, Values... values)
{
    char text[512];
    snprintf(text, sizeof text, pattern, values...);
    return std::string(text) + "\n";
}

TEST_F(Formatting, EveryConversionReadsAsTheCLibrarysTwice)
{
    for (int round = 0; round < 2; round++) {
        writeLine(gen, 0, "plain text, no conversion");
        EXPECT_EQ(taken(), "plain text, no conversion\n");
        writeLine(gen, 0, "%s|%s|%%|100%%", "word", "");
        EXPECT_EQ(taken(), printed("%s|%s|%%|100%%", "word", ""));
        writeLine(gen, 0, "%d %d %d %u %x", INT_MIN, -1, INT_MAX, UINT_MAX, 0xbeefu);
        EXPECT_EQ(taken(), printed("%d %d %d %u %x", INT_MIN, -1, INT_MAX, UINT_MAX, 0xbeefu));
        writeLine(gen, 0, "%ld %lu %lx %lld %llu %llx", LONG_MIN, ULONG_MAX, 0ul, LLONG_MIN, ULLONG_MAX, 0x1234ull);
        EXPECT_EQ(taken(), printed("%ld %lu %lx %lld %llu %llx", LONG_MIN, ULONG_MAX, 0ul, LLONG_MIN, ULLONG_MAX,
                                   0x1234ull));
        // Conversions made by the C library: widths, flags, other letters,
        // and more conversions than one pattern's pieces hold.
        writeLine(gen, 0, "[%5d] [%-3s] [%08lx] [%c] [%.2s]", 42, "a", 0xabcul, 'z', "xyz");
        EXPECT_EQ(taken(), printed("[%5d] [%-3s] [%08lx] [%c] [%.2s]", 42, "a", 0xabcul, 'z', "xyz"));
        writeLine(gen, 0, "%d %d %d %d %d %d %d %d %d %d", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
        EXPECT_EQ(taken(), printed("%d %d %d %d %d %d %d %d %d %d", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10));
    }
}

TEST_F(Formatting, IndentationAndTheLineEndAreAddedOnce)
{
    writeLine(gen, 2, "x = %" PRIu64 ";", UINT64_MAX);
    EXPECT_EQ(taken(), "      x = 18446744073709551615;\n");
    writeFormatted(gen, 1, "%s", "no end");
    EXPECT_EQ(taken(), "   no end");
}

} // namespace
