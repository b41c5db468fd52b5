// Fault signals of a host harness. The handler may run in the middle of
// anything, the trace writer and the allocator included, so it only writes
// fixed texts with write(2); it runs on a stack of its own, as a stack
// overflow is one of the faults.
#include "src/faults.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t traceDescriptor = -1;

struct FaultSignal {
    int number;
    const char *line;     // of the trace
    const char *message;  // on standard error
};

const FaultSignal faultSignals[] = {
    {SIGSEGV, "FAULT SIGSEGV\n", "zeptp: the run was ended by a fault (SIGSEGV)\n"},
    {SIGBUS, "FAULT SIGBUS\n", "zeptp: the run was ended by a fault (SIGBUS)\n"},
    {SIGFPE, "FAULT SIGFPE\n", "zeptp: the run was ended by a fault (SIGFPE)\n"},
    {SIGILL, "FAULT SIGILL\n", "zeptp: the run was ended by a fault (SIGILL)\n"},
    {SIGABRT, "FAULT SIGABRT\n", "zeptp: the run was ended by a fault (SIGABRT)\n"},
};

void writeAll(int descriptor, const char *text)
{
    for (size_t left = std::strlen(text); left > 0;) {
        ssize_t written = write(descriptor, text, left);
        if (written <= 0)
            return;
        text += written;
        left -= static_cast<size_t>(written);
    }
}

// The handler is reset to the default on entry (SA_RESETHAND), so raising
// the signal again ends the process by it once the handler returns, as
// the shell and CTest expect of a crash.
void onFault(int number)
{
    for (const FaultSignal &fault : faultSignals) {
        if (fault.number != number)
            continue;
        int descriptor = traceDescriptor;
        traceDescriptor = -1;
        if (descriptor >= 0) {
            writeAll(descriptor, fault.line);
            writeAll(STDERR_FILENO, fault.message);
        }
    }
    std::raise(number);
}

void installHandlers()
{
    static char stack[64 * 1024];
    stack_t alternate{};
    alternate.ss_sp = stack;
    alternate.ss_size = sizeof stack;
    sigaltstack(&alternate, nullptr);
    struct sigaction action {};
    action.sa_handler = onFault;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (const FaultSignal &fault : faultSignals)
        sigaction(fault.number, &action, nullptr);
}

} // namespace

void zeptpWatchFaults(int descriptor) noexcept
{
    static bool installed = false;
    if (!installed)
        installHandlers();
    installed = true;
    traceDescriptor = descriptor;
}
