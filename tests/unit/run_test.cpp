// The whole run sequence with every allocation failing in turn: each run must
// end cleanly (no crash, no leak under the sanitizers) with a message.
#include "driver/run.h"
#include "form/form.h"
#include "form/memory.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <unistd.h>
#include <vector>
#include <string>

namespace {

// Runs the translator with standard error captured; returns the status.
int runCaptured(std::vector<const char *> arguments, std::string *errors)
{
    fflush(stderr);
    FILE *capture = tmpfile();
    int saved = dup(fileno(stderr));
    dup2(fileno(capture), fileno(stderr));
    int status = runTranslator(static_cast<int>(arguments.size()), const_cast<char **>(arguments.data()));
    fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    rewind(capture);
    errors->clear();
    for (int c; (c = fgetc(capture)) != EOF;)
        errors->push_back(static_cast<char>(c));
    fclose(capture);
    return status;
}

const std::vector<const char *> acceptedLine = {"zepprepro", "-G", "C++", "-O", "out.cc", "-OTI", "out.oti",
                                                "-TDF", "run.tdf", "first.otd", "second.otc"};

// The scripts of the accepted command line.
void writeScripts(const ScratchDirectory &directory)
{
    directory.write("first.otd", "TEST SUITE S { TEST CASE c { CHECK (1 == 1); } }\nrun { S; }\n");
    directory.write("second.otc", "");
}

TEST(RunSequence, AcceptedCommandLineRunsClean)
{
    ScratchDirectory directory;
    writeScripts(directory);
    std::string errors;
    EXPECT_EQ(runCaptured(acceptedLine, &errors), 0);
    EXPECT_EQ(errors, "");
}

TEST(RunSequence, EveryFailingAllocationEndsWithAMessage)
{
    ScratchDirectory directory;
    writeScripts(directory);
    failAllocation(0);
    std::string errors;
    ASSERT_EQ(runCaptured(acceptedLine, &errors), 0);
    unsigned long needed = failAllocation(0);
    ASSERT_GT(needed, 0u);
    for (unsigned long n = 1; n <= needed; n++) {
        failAllocation(n);
        int status = runCaptured(acceptedLine, &errors);
        failAllocation(0);
        // A lookup index or a pool table that cannot grow costs only speed;
        // every other failure ends the run with a message. Some surface first
        // as the error of the step that needed the memory.
        if (status == 0) {
            EXPECT_EQ(errors, "") << "allocation " << n;
        } else {
            EXPECT_EQ(status, 255) << "allocation " << n;
            EXPECT_EQ(errors.rfind("zepprepro - ", 0), 0u) << "allocation " << n << ": " << errors;
        }
    }
}

TEST(RunSequence, NoContextGivesInitializationMessage)
{
    std::string errors;
    failAllocation(1);
    int status = runCaptured(acceptedLine, &errors);
    failAllocation(0);
    EXPECT_EQ(status, 255);
    EXPECT_EQ(errors, "zepprepro - error: Cannot initialize internal form.\n");
}

} // namespace
