#include "instrumentor/oti.h"

#include <gtest/gtest.h>

using namespace zepinstr;

TEST(InstrumentationFile, ReadsClassesStubsAndMethodsOnce)
{
    const char *text = "@DLI@ \n\n@CLS@ \nns::Lift\n@SLI@ \nlift.otc:1\n@CSU@ \n0x1a 0x2b\n@CID@ \n0x2\n\n"
                       "@INV@ \n_muv_assert_invariant( (x) , 0x3, _MUV_CLASS_FILE_CLS);\n\n"
                       "@WRP@  \nvoid call(int f)\n@SLI@ \nlift.otc:4\n\n@PRE@ \nPRE\n@POS@ \nPOS\n"
                       "@SCF@ \nTABLES\n@SCB@ \nUPDATE\n@SCK@ \nCHECK\n"
                       "@STB@  \nvoid show(int f)\n@SLI@ \na.otd:2\n\n@PRE@ \nENTER\n@POS@ \nEXIT\n"
                       "@MTH@ \nvoid Lift::call(int)\n@SLI@ \na.otd:9\n@CHK@ \n_ZEP_Check_Method_0x9\n\n"
                       "@MTH@ \nvoid Lift::call(int)\n@SLI@ \na.otd:9\n@CHK@ \n_ZEP_Check_Method_0x9\n\n";
    Instrumentation read;
    std::string error;
    ASSERT_TRUE(readInstrumentation(text, "a.oti", read, error)) << error;
    ASSERT_EQ(read.classes.size(), 1u);
    const ContractClass &lift = read.classes[0];
    EXPECT_EQ(lift.head, "ns::Lift");
    EXPECT_EQ(lift.checksumA, 0x1au);
    EXPECT_EQ(lift.checksumB, 0x2bu);
    EXPECT_EQ(lift.id, 2u);
    EXPECT_EQ(lift.invariants.size(), 1u);
    ASSERT_EQ(lift.wraps.size(), 1u);
    EXPECT_EQ(lift.wraps[0].place.line, 4u);
    EXPECT_EQ(lift.wraps[0].require, "PRE\n");
    EXPECT_EQ(lift.wraps[0].ensure, "POS\n");
    EXPECT_EQ(lift.update, "UPDATE\n");
    ASSERT_EQ(read.stubs.size(), 1u);
    EXPECT_EQ(read.stubs[0].entry, "ENTER\n");
    EXPECT_EQ(read.stubs[0].place.file, "a.otd");
    ASSERT_EQ(read.methods.size(), 1u);
    EXPECT_EQ(read.methods[0].counter, "_ZEP_Check_Method_0x9");
}

TEST(InstrumentationFile, FaultsAreLocatedAtTheirLine)
{
    const std::pair<const char *, const char *> faults[] = {
        {"stray\n@DLI@ \n", "a.oti:1: text before the first fragment"},
        {"@DLI@ \n@WRP@  \nvoid f()\n", "a.oti:2: @WRP@ outside a class"},
        {"@CLS@ \nA\n@CSU@ \n12 0x1\n", "a.oti:3: malformed checksum pair: 12 0x1"},
        {"@CLS@ \nA\n@SLI@ \na.otc\n", "a.oti:3: malformed script place: a.otc"},
        {"@XYZ@ \n", "a.oti:1: unknown fragment @XYZ@"},
        {"@MTH@ \nvoid f()\n", "a.oti: CHECK METHOD void f() without a counter"},
    };
    for (const auto &[text, message] : faults) {
        Instrumentation read;
        std::string error;
        EXPECT_FALSE(readInstrumentation(text, "a.oti", read, error)) << text;
        EXPECT_EQ(error, message);
    }
}
