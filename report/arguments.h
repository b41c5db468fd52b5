// The actual parameters of the TEST CLASS runs, which only the scripts
// hold: the record files name a RUN's components without them.
#pragma once

#include "report/run.h"

#include <string>
#include <vector>

namespace zepreport {

// Sets the arguments of every TEST CLASS item run with actual parameters,
// from the RUN statement in the script lines of its runner's source file
// (scripts[i] for record set i; a script that could not be read is empty
// and leaves its classes without arguments).
void nameRunArguments(Run &run, const std::vector<std::vector<std::string>> &scripts);

} // namespace zepreport
