// Shared helpers of the unit tests: a fixture that sets up and tears down the
// run-wide state, and a capture of the standard error stream.
#pragma once
#include "form/form.h"
#include "form/memory.h"

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

// Fresh pool, registries and counters per test; everything released after.
class RunState : public ::testing::Test {
protected:
    void SetUp() override
    {
        failAllocation(0);
        clearStringPool();
        clearRegistries();
        errorCount = 0;
        context = nullptr;
    }

    void TearDown() override
    {
        failAllocation(0);
        if (context != nullptr) {
            releaseContext(context);
            context = nullptr;
        }
        releaseSegments();
        releaseParameters();
        releaseStringPool();
        errorCount = 0;
    }

    // Makes the run's Context; the fixture releases it.
    void makeContext()
    {
        context = createContext();
        ASSERT_NE(context, nullptr);
    }
};

// The run-wide state with a Context and an empty root to parse into.
class TreeState : public RunState {
protected:
    void SetUp() override
    {
        RunState::SetUp();
        makeContext();
        root = createRoot();
        ASSERT_NE(root, nullptr);
        nextId = 2;
        currentFileNo = 1;
        otdFileCount = 0;
    }

    void TearDown() override
    {
        releaseTree(root);
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
