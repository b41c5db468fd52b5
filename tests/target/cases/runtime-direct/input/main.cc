// Calls the run-time library as instrumented application code and a
// harness would, for what no translated script reaches: stub entry and
// exit, a condition outside any test case, a test case failed by an
// unexpected exception alone, values of many kinds and a failure list
// longer than the summary shows. The run ends through VELD_MAIN_RETURN
// without _zep_term.
#include <ostream>
#include <string>

#include "lib/TP.h"

namespace {

enum Colour { Red, Green = 5 };

struct Point {
    int x, y;
};

std::ostream &operator<<(std::ostream &out, const Point &point)
{
    return out << "(" << point.x << ", " << point.y << ")";
}

struct Opaque {
    int hidden;
};

} // namespace

int main()
{
    _zep_init((_zep_Car *)"run.tdf", 0x0, 0xf4240, 0x1e8480);
    _zep_Int first = _zep_add_source_file(0x12345678, 0x9abcdef0);
    _zep_Int second = _zep_add_source_file(0x1, 0x2);

    _zep_enter_stub(0x20, second, 0x20, second);
    _zep_check_prepos(false, 0x21, second);
    _zep_exit_stub(second);

    _zep_enter_test_case(0x40, first, 0x41, first);
    _zep_unexpected_exception(0x40, first);
    _zep_exit_test_case(first, first);

    static const char *const names[] = {"C1", "C2", "C3", "C4", "C5", "C6", "C7", "C8", "C9"};
    for (_zep_Id n = 0; n < 9; n++) {
        _ZEP_OBSTOOLS_SET_BLOCK_NAME((_zep_Car *)names[n]);
        _zep_enter_test_case(0x51 + n, first, 0x61 + n, first);
        _zep_check(false, 0x71 + n, first);
        _zep_exit_test_case(first, first);
    }

    _ZEP_OBSTOOLS_SET_BLOCK_NAME((_zep_Car *)"P");
    _zep_enter_test_case(0x80, first, 0x81, first);
    _zep_check(true, 0x82, first);
    _zep_print_start(0x83, first);
    _zep_print(std::string("carriage\rreturn"), (_zep_Car *)"text");
    _zep_print(Green, (_zep_Car *)"Green");
    _zep_print(18446744073709551615ull, (_zep_Car *)"max");
    _zep_print(nullptr, (_zep_Car *)"nothing");
    _zep_print(-0.5, (_zep_Car *)"half");
    _zep_print(Point{1, 2}, (_zep_Car *)"point");
    _zep_print(Opaque{3}, (_zep_Car *)"opaque");
    _zep_print(static_cast<unsigned char>(65), (_zep_Car *)"letter");
    _zep_print_end();
    _zep_exit_test_case(first, first);

    VELD_MAIN_RETURN
}
