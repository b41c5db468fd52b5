// The report of a run as one self-contained HTML page: a summary band, the
// tree of what ran as collapsible sections, and the script lines around
// every failed check.
#pragma once

#include "report/run.h"

#include <string>
#include <vector>

namespace zepreport {

// What the page shows beyond the run itself, read from the file system.
struct PageSources {
    std::string runDate;  // when the trace was last written; empty when unknown
    // The lines of the script of each record set (run.records index); empty
    // when the script could not be read, so its excerpts are left out.
    std::vector<std::vector<std::string>> scripts;
};

// The trace's time and the scripts that the record files name.
PageSources readPageSources(const Run &run);

std::string formatHtml(const Run &run, const PageSources &sources);

} // namespace zepreport
