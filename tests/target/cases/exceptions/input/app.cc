#include <stdexcept>

#include "app.h"

// A negative number is refused with a library exception, zero with a
// bare int that no test expects.
int risky(int n)
{
    if (n < 0)
        throw std::runtime_error("negative");
    if (n == 0)
        throw 7;
    return n;
}
