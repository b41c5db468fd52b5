// Shared helpers of the unit tests: a fixture that sets up and tears down the
// run-wide state, and a capture of the standard error stream.
#pragma once
#include "form/form.h"
#include "base/memory.h"
#include "io/files.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <functional>
#include <string>
#include <climits>
#include <cstdlib>
#include <unistd.h>

// Runs body with standard error redirected to a temporary file; returns what
// was written.
inline std::string captureStderr(const std::function<void()> &body)
{
    fflush(stderr);
    FILE *capture = tmpfile();
    int saved = dup(fileno(stderr));
    dup2(fileno(capture), fileno(stderr));
    body();
    fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    rewind(capture);
    std::string text;
    for (int c; (c = fgetc(capture)) != EOF;)
        text.push_back(static_cast<char>(c));
    fclose(capture);
    return text;
}

// A fresh run per test, released after it: nothing of one test reaches the
// next, and no state outside the run needs saving.
class RunState : public ::testing::Test {
protected:
    void SetUp() override
    {
        failAllocation(0);
        *run = ::Run{};
        run->maxErrors = DEFAULT_MAX_ERRORS;
        run->nextId = 2;
    }

    void TearDown() override
    {
        failAllocation(0);
        releaseContext(run->context);
        run->context = nullptr;
        releaseSegments(run);
        releaseParameters(run);
        releaseStringPool(run);
    }

    // Makes the run's Context; the fixture releases it.
    void makeContext()
    {
        run->context = createContext();
        ASSERT_NE(run->context, nullptr);
        run->context->workingDirectory = currentDirectoryPrefix(run, nullptr, 0);
    }

    ::Run state{};
    ::Run *run = &state;
};

// The run with a Context and an empty root to parse into.
class TreeState : public RunState {
protected:
    void SetUp() override
    {
        RunState::SetUp();
        makeContext();
        root = createRoot();
        ASSERT_NE(root, nullptr);
    }

    void TearDown() override
    {
        releaseTree(run, root);
        RunState::TearDown();
    }

    Node *root = nullptr;
};

// A fresh temporary working directory for one test, removed afterwards.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        if (getcwd(saved, sizeof saved) == nullptr)
            abort();
        char pattern[] = "/tmp/zeptestXXXXXX";
        if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0)
            abort();
        path = pattern;
    }

    ~ScratchDirectory()
    {
        if (chdir(saved) != 0)
            abort();
        int ignored = system(("rm -rf '" + path + "'").c_str());
        (void)ignored;
    }

    void write(const std::string &name, const std::string &text) const
    {
        FILE *file = fopen(name.c_str(), "wb");
        fwrite(text.data(), 1, text.size(), file);
        fclose(file);
    }

    std::string path;

private:
    char saved[PATH_MAX] = {};
};
