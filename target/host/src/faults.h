// The end of a host run by a fault signal: the host's counterpart of a
// board's fault handler (../TRACE.md, FAULT).
#pragma once

// From now on a fault signal writes its FAULT line to the trace file open
// as descriptor (-1: the trace is closed, nothing is written) and a line
// to standard error, then ends the process by the same signal.
void zeptpWatchFaults(int descriptor) noexcept;
