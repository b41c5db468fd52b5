// Name lists, parameter lists, text buffers that cannot grow, short copies and digits.
#include "test_support.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

class Lists : public RunState {};

std::vector<std::string> textsOf(const NameEntry *list)
{
    std::vector<std::string> texts;
    for (; list != nullptr; list = list->next) {
        EXPECT_EQ(list->formal, nullptr);
        texts.emplace_back(list->text);
    }
    return texts;
}

using Texts = std::vector<std::string>;

TEST_F(Lists, NameListSplitsAtCommasAndIgnoresBlanks)
{
    EXPECT_EQ(textsOf(buildNameList(run, "a, b")), (Texts{"a", "b"}));
    EXPECT_EQ(textsOf(buildNameList(run, "\tx_1 ,\r\n y+2 ")), (Texts{"x_1", "y+2"}));
    EXPECT_EQ(textsOf(buildNameList(run, "")), (Texts{""}));
    EXPECT_EQ(textsOf(buildNameList(run, "a,,b,")), (Texts{"a", "", "b", ""}));
    // Entry texts are pooled.
    NameEntry *list = buildNameList(run, "p, p");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->next, nullptr);
    EXPECT_EQ(list->text, list->next->text);
    EXPECT_EQ(list->text, internText(run, "p"));
}

TEST_F(Lists, NameListRejectsMalformedTexts)
{
    EXPECT_EQ(buildNameList(run, "a b"), nullptr);
    EXPECT_EQ(buildNameList(run, "x-y"), nullptr);
    // Entries made before the fault stay in the registry and are freed
    // with it (checked by the leak sanitizer).
    EXPECT_EQ(buildNameList(run, "a, b c"), nullptr);
    EXPECT_EQ(buildNameList(run, "a, b("), nullptr);
}

TEST_F(Lists, ParameterListSplitsAtTopLevelCommasOnly)
{
    EXPECT_EQ(textsOf(buildParameterList(run, "f(a, b), 'c, d', e<f, g>")),
              (Texts{"f(a, b)", " 'c, d'", " e<f, g>"}));
    EXPECT_EQ(textsOf(buildParameterList(run, "\"x, (y\", z")), (Texts{"\"x, (y\"", " z"}));
    // A quote of the other kind inside quotes does not count.
    EXPECT_EQ(textsOf(buildParameterList(run, "\"it's\", '\"'")), (Texts{"\"it's\"", " '\"'"}));
    EXPECT_EQ(textsOf(buildParameterList(run, "")), (Texts{""}));
    EXPECT_EQ(textsOf(buildParameterList(run, " a ,")), (Texts{" a ", ""}));
}

TEST_F(Lists, ParameterListBackslashTakesTheNextByteLiterally)
{
    EXPECT_EQ(textsOf(buildParameterList(run, "a\\, b, c")), (Texts{"a\\, b", " c"}));
    EXPECT_EQ(textsOf(buildParameterList(run, "\\(, x")), (Texts{"\\(", " x"}));
    EXPECT_EQ(textsOf(buildParameterList(run, "'\\'', y")), (Texts{"'\\''", " y"}));
    // An escaped backslash escapes nothing further.
    EXPECT_EQ(textsOf(buildParameterList(run, "a\\\\, b")), (Texts{"a\\\\", " b"}));
}

TEST_F(Lists, ParameterListRejectsUnbalancedTexts)
{
    EXPECT_EQ(buildParameterList(run, "f(a, b"), nullptr);
    EXPECT_EQ(buildParameterList(run, "x, a<b"), nullptr);
    EXPECT_EQ(buildParameterList(run, "a, \"b"), nullptr);
    EXPECT_EQ(buildParameterList(run, "'a', 'b"), nullptr);
    EXPECT_EQ(buildParameterList(run, "a\\"), nullptr);
}

TEST_F(Lists, TextBufferThatCannotGrowIsReportedAndFreed)
{
    TextBuffer buffer;
    ASSERT_EQ(initTextBuffer(&buffer), 0);
    std::string full(2047, 'x');
    ASSERT_EQ(appendText(run, &buffer, full.c_str()), 0);
    int result = 0;
    std::string errors = captureStderr([&] {
        failAllocation(1);
        result = appendText(run, &buffer, "y");
        failAllocation(0);
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(buffer.text, nullptr);
    EXPECT_EQ(run->errorCount, 1u);
    EXPECT_EQ(errors, "zepprepro - lexical error: Not enough memory to reallocate the buffer `" + full + "'.\n");
}

TEST_F(Lists, FreedTextBufferTakesTextAgain)
{
    TextBuffer buffer;
    ASSERT_EQ(initTextBuffer(&buffer), 0);
    ASSERT_EQ(appendText(run, &buffer, "abc"), 0);
    freeTextBuffer(&buffer);
    EXPECT_EQ(buffer.text, nullptr);
    ASSERT_EQ(appendText(run, &buffer, "de"), 0);
    EXPECT_STREQ(buffer.text, "de");
    freeTextBuffer(&buffer);
}

TEST(Copy, EveryShortLengthCopiesItsBytesAndNoMore)
{
    const std::string source = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEF";
    for (size_t length = 0; length <= 40; length++) {
        std::string target(48, '#');
        copyText(target.data() + 2, source.data() + 1, length);
        const std::string want = "##" + source.substr(1, length) + std::string(46 - length, '#');
        EXPECT_EQ(target, want) << "length " << length;
    }
}

TEST(Digits, DecimalAndHexadecimalAtEveryDigitCount)
{
    struct Case {
        uint64_t value;
        const char *decimal, *hexadecimal;
    };
    const Case cases[] = {
        {0, "0", "0"},
        {9, "9", "9"},
        {10, "10", "a"},
        {99, "99", "63"},
        {100, "100", "64"},
        {101, "101", "65"},
        {1009, "1009", "3f1"},
        {65535, "65535", "ffff"},
        {1000000007, "1000000007", "3b9aca07"},
        {UINT64_MAX, "18446744073709551615", "ffffffffffffffff"},
    };
    for (const Case &c : cases) {
        char room[DIGITS_ROOM];
        char *end = room + sizeof room;
        EXPECT_EQ(std::string(writeDigits(end, c.value, 10), end), c.decimal);
        EXPECT_EQ(std::string(writeDigits(end, c.value, 16), end), c.hexadecimal);
    }
}

} // namespace
