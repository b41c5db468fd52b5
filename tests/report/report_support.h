// Hand-written record files of one small script, lift.otd, for the tests of
// the readers and of the run model:
//
//   1  TEST CLASS Lift {
//   2     TEST CASE Up {
//   3        CHECK (level() == 2);
//   4        PRINT ("x", x);
//   5        CHECK EXCEPTION (std::exception &e);
//   6        CHECK STUB open { }
//   7        COMMENT note
//   ...
//   8     PROC move { CHECK "moved" (a != b); }       (line 9: the check)
//  10     ON ERROR { PRINT ("failed"); } CONTINUE;    (line 11: the print)
//  12  STUB open : int open()
//  14     TEST SUITE Basic { TEST CASE Down {
//  16        CHECK (x < "a\b");  #{ int a; ... }#
#pragma once

#include "report/records.h"
#include "report/run.h"
#include "report/trace.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace zepreport::testing {

inline const std::string liftOts = "OF \"/src/\" \"lift.otd\" 3b9aca00h\n"
                                   "\n"
                                   "VO " ZEP_RELEASE_TEXT "\n"
                                   "DP Thu Jan  1 00:00:00 1970\n"
                                   "TL 2h \"Lift\" line=1 dad=1h;\n"
                                   "TC 3h \"Up\" line=2 dad=2h;\n"
                                   "CH 4h \"(level() == 2)\" line=3 dad=3h;\n"
                                   "PR 5h \"(\\\"x\\\", x)\" line=4 dad=3h;\n"
                                   "CX 6h \"std::exception &e\" line=5 dad=3h;\n"
                                   "CS 9h \"open\" line=6 dad=3h stb=bh;\n"
                                   "CO ch \"note\" line=7 dad=3h;\n"
                                   "PC 7h \"move\" line=8 dad=2h;\n"
                                   "CH 8h \"`moved' / (a != b)\" line=9 dad=7h;\n"
                                   "PR eh \"(\\\"failed\\\")\" line=11 dad=dh;\n"
                                   "SB bh \"open\" line=12 dad=1h;\n"
                                   "TS fh \"Basic\" line=14 dad=2h;\n"
                                   "TC 10h \"Down\" line=15 dad=fh;\n"
                                   "CH 11h \"(x < \\\"a\\\\b\\\")\" line=16 dad=10h;\n"
                                   "NC 12h \" int a;\n"
                                   "int b; \" line=16 dad=10h;\n"
                                   "\n"
                                   "CK 1234h 5678h\n";

inline const std::string liftTsf = "DB \"Okvar-Tracer\"\n"
                                   "SO \"/src/./lift.otd\" 3b9aca00h \"txt\"\n"
                                   "IN \"File\" 1h \"lift.otd\"\n"
                                   "ST 164\n"
                                   "MS ffffffffh \"ON ERROR (DEFAULT)\"\n"
                                   "TX fffffffeh \"UNEXPECTED EXCEPTION\"\n"
                                   "TX fffffffdh \"EXCEPTION THROWN\"\n"
                                   "TX fffffffch \"ILLEGAL TRANSITION\"\n"
                                   "TX fffffffbh \"MULTIPLE TRANSITION\"\n"
                                   "LK 1\n"
                                   "SI 1h\n"
                                   "IN \"TestClass\" 2h \"Lift\"\n"
                                   "LK 1\n"
                                   "MS f4242h \"`Lift'\"\n"
                                   "LK 2\n"
                                   "SI 2h\n"
                                   "IN \"TestCase\" 3h \"Up\"\n"
                                   "LK 2\n"
                                   "MS f4243h \"`Up'\"\n"
                                   "LK 3\n"
                                   "TX 1e8484h \"(level() == 2)\"\n"
                                   "LK 5\n"
                                   "TX 1e8486h \"(std::exception &e)\"\n"
                                   "LK 6\n"
                                   "MS f4249h \"check stub `open'\"\n"
                                   "LK 6\n"
                                   "TX 1e8489h \"`open'\"\n"
                                   "LK 7\n"
                                   "TX 1e848ch \"note\"\n"
                                   "LK 8\n"
                                   "SI 2h\n"
                                   "IN \"Proc\" 7h \"move\"\n"
                                   "LK 9\n"
                                   "TX 1e8488h \"`moved' / (a != b)\"\n"
                                   "ST 164\n"
                                   "LK 10\n"
                                   "MS f424dh \"call `ON ERROR'\"\n"
                                   "LK 12\n"
                                   "SI 1h\n"
                                   "IN \"Stub\" bh \"open\"\n"
                                   "LK 12\n"
                                   "MS f424bh \"`int open()'\"\n"
                                   "LK 14\n"
                                   "SI 2h\n"
                                   "IN \"TestSuite\" fh \"Basic\"\n"
                                   "LK 14\n"
                                   "MS f424fh \"`Basic'\"\n"
                                   "LK 15\n"
                                   "SI fh\n"
                                   "IN \"TestCase\" 10h \"Down\"\n"
                                   "LK 15\n"
                                   "MS f4250h \"`Down'\"\n"
                                   "LK 16\n"
                                   "TX 1e8491h \"(x < \\\"a\\\\b\\\")\"\n"
                                   "ID 1234h 5678h\n"
                                   "ED\n";

// Reads a pair of record texts; fails the test when they are refused.
inline bool parseRecords(const std::string &ots, const std::string &tsf, RecordSet &records, std::string &error)
{
    std::istringstream otsIn(ots), tsfIn(tsf);
    return parseRecordSet(otsIn, "lift.otd01.ots", tsfIn, "lift.otd01.tsf", records, error);
}

inline RecordSet liftRecords()
{
    RecordSet records;
    std::string error;
    EXPECT_TRUE(parseRecords(liftOts, liftTsf, records, error)) << error;
    return records;
}

// The trace head of a run of lift.otd, then its events, read and put
// together with its records.
inline const std::string head = "ZEPTRACE 1\nINIT 0 f4240 1e8480\nFILE 0 1234 5678\n";

// Trace, records and run together, for the lifetime of one test.
struct Built {
    Trace trace;
    std::vector<RecordSet> records;
    Run run;
    std::string error;
    bool ok = false;
};

inline std::unique_ptr<Built> build(const std::string &events, const std::string &ots = liftOts)
{
    auto built = std::make_unique<Built>();
    built->records.resize(1);
    std::string error;
    EXPECT_TRUE(parseRecords(ots, liftTsf, built->records[0], error)) << error;
    EXPECT_TRUE(parseTrace(head + events, "run.trace", built->trace, error)) << error;
    built->ok = buildRun(built->trace, built->records, built->run, built->error);
    return built;
}

} // namespace zepreport::testing
