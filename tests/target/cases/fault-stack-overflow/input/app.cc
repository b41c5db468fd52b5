#include "app.h"

int depth(int n)
{
    volatile char frame[64];
    frame[0] = static_cast<char>(n);
    return n ? depth(n + 1) + frame[0] : 0;
}
