// The report of a project: the runs of several harnesses (every
// zepprepro_add_test of a build tree) with their coverage merged, as one
// text report, one HTML page and one Cobertura file.
#pragma once

#include "report/coverage.h"

#include <string>
#include <vector>

namespace zepreport {

struct ProjectOptions {
    std::vector<std::string> traces;  // the record files of each are beside it
    std::string html, cobertura;      // empty: not written
    std::string gcov = "gcov";
    CoverageScope scope;
};

// Writes the text report into report and the files asked for; returns the
// exit status (0 every run passed, 1 something failed, 2 error).
int reportProject(const ProjectOptions &options, std::string &report, std::string &error);

// Writes text to path whole; false when it cannot.
bool writeFile(const std::string &path, const std::string &text);

} // namespace zepreport
