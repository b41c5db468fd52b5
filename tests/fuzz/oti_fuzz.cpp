// zepinstr's instrumentation-file reader on any bytes: it accepts the file
// or gives one message located in it, and what it accepts is complete.
#include "instrumentor/oti.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void failure(const char *what)
{
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zepinstr::Instrumentation read;
    std::string error;
    bool accepted =
        zepinstr::readInstrumentation(std::string(reinterpret_cast<const char *>(data), size), "f.oti", read, error);
    if (!accepted && error.rfind("f.oti", 0) != 0)
        failure("a refusal without its place");
    if (accepted && !error.empty())
        failure("a message for an accepted file");
    for (const zepinstr::ContractClass &owner : read.classes)
        if (accepted && (owner.id == 0 || owner.head.empty()))
            failure("an accepted class without its identifier or name");
    for (const zepinstr::MethodCheck &method : read.methods)
        if (accepted && method.counter.empty())
            failure("an accepted CHECK METHOD without its counter");
    return 0;
}
