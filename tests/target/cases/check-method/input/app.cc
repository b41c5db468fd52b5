#include "lib/TP.h"

#include "app.h"

// What the instrumentation of the script's two CHECK METHOD elements puts
// into the watched method.
extern VELD_U_INT32 _ZEP_Check_Method_0x5, _ZEP_Check_Method_0x8;

void Counter::bump()
{
    count++;
    _ZEP_Check_Method_0x5++;
    _ZEP_Check_Method_0x8++;
}
