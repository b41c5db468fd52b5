// The running checksum of the record files and the .tsf line folding.
#include "records/records.h"
#include "test_support.h"

#include <string>

namespace {

TEST(Checksum, FoldsEachByteAsASignedValue)
{
    uint32_t a = 0, b = 0;
    foldChecksum(&a, &b, "abc", 3);
    EXPECT_EQ(a, 0x556u);
    EXPECT_EQ(b, 0x7dcu);

    // 0xff counts as -1: A = (0 - 1) * 2 wraps around.
    a = b = 0;
    foldChecksum(&a, &b, "\xff", 1);
    EXPECT_EQ(a, 0xfffffffeu);
    EXPECT_EQ(b, 0xfffffffeu);
}

// The checksum defined a byte at a time: A = (A + byte) * 2, B ^= A.
void foldByteByByte(uint32_t *a, uint32_t *b, const std::string &text)
{
    for (char c : text) {
        *a = (*a + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)))) * 2;
        *b ^= *a;
    }
}

TEST(Checksum, AnyLengthAndAnySplitFoldAsByteByByte)
{
    const std::string text = "TX \x80\xff\x01 \"q\"\n\x7f\xc3\xa9z";
    for (size_t length = 0; length <= text.size(); length++) {
        const std::string part = text.substr(0, length);
        uint32_t wantA = 0x12345678, wantB = 0x9abcdef0;
        foldByteByByte(&wantA, &wantB, part);
        for (size_t split = 0; split <= length; split++) {
            uint32_t a = 0x12345678, b = 0x9abcdef0;
            foldChecksum(&a, &b, part.data(), split);
            foldChecksum(&a, &b, part.data() + split, length - split);
            EXPECT_EQ(a, wantA) << "length " << length << " split " << split;
            EXPECT_EQ(b, wantB) << "length " << length << " split " << split;
        }
    }
}

class RecordLines : public RunState {
protected:
    void SetUp() override
    {
        RunState::SetUp();
        entry.tsfStream = tmpfile();
        entry.otsStream = tmpfile();
    }

    void TearDown() override
    {
        fclose(entry.tsfStream);
        fclose(entry.otsStream);
        RunState::TearDown();
    }

    static std::string contents(FILE *stream)
    {
        fflush(stream);
        rewind(stream);
        std::string text;
        for (int c; (c = fgetc(stream)) != EOF;)
            text.push_back(static_cast<char>(c));
        return text;
    }

    FileEntry entry{};
};

TEST_F(RecordLines, InnerLineBreaksOfTsfRecordsBecomeSpaces)
{
    const std::string record = "TX 1h \"a\nb\rc\"\n";
    writeTsfLine(&entry, record.data(), record.size());
    writeOtsLine(&entry, record.data(), record.size());
    EXPECT_EQ(contents(entry.tsfStream), "TX 1h \"a b c\"\n");
    EXPECT_EQ(contents(entry.otsStream), record);

    // The checksum follows what each file received, in the order written.
    uint32_t a = 0, b = 0;
    foldChecksum(&a, &b, "TX 1h \"a b c\"\n", 14);
    foldChecksum(&a, &b, record.data(), record.size());
    EXPECT_EQ(entry.checksumA, a);
    EXPECT_EQ(entry.checksumB, b);
}

TEST_F(RecordLines, LatinOneBytesBecomeUtf8InTheCLocale)
{
    TextBuffer converted;
    ASSERT_EQ(initTextBuffer(&converted), 0);
    ASSERT_EQ(appendUtf8(&converted, "caf\xe9"), 0);
    EXPECT_STREQ(converted.text, "caf\xc3\xa9");
    freeTextBuffer(&converted);
}

} // namespace
