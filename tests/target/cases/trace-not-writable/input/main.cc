// A trace that cannot be created is reported once; the run goes on and
// its verdicts still decide the summary and the exit status.
#include "lib/TP.h"

int main()
{
    _zep_init((_zep_Car *)"no/such/directory/run.tdf", 0x0, 0xf4240, 0x1e8480);
    _zep_Int file = _zep_add_source_file(0x1, 0x2);
    _zep_enter_test_case(0x3, file, 0x4, file);
    _zep_check(true, 0x5, file);
    _zep_exit_test_case(file, file);
    _zep_term();
    VELD_MAIN_RETURN
}
