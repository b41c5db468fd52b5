// Finding the record files of a run: every FILE line of the trace names a
// source file by the checksum pair that the CK record of its .ots file and
// the ID record of its .tsf file carry.
#pragma once

#include "report/records.h"
#include "report/trace.h"

#include <string>
#include <vector>

namespace zepreport {

// Searches places (record files, or directories holding them; none: the
// current directory) for the record files of every source file of the
// trace and reads them; sets[i] belongs to FILE index i. Fails with error
// naming the stale or missing file when a source file has none.
bool findRecordSets(const Trace &trace, const std::vector<std::string> &places, std::vector<RecordSet> &sets,
                    std::string &error);

} // namespace zepreport
