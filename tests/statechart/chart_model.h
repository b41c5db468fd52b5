// The model of one class around its state-chart fragments: included by
// chart_harness.cpp once per chart, with CHART set to its number.
#define CHART_INCLUDE(role) CHART_FILE(CHART, role)
#include CHART_INCLUDE(tables)

struct Model {
    long v = 0;
    _muv_StateType _muv_state = -1L;

    _muv_Boolean _muv_check_state(_muv_StateType State)
    {
#include CHART_INCLUDE(check)
    }

    void update()
    {
#include CHART_INCLUDE(update)
    }
};
#undef CHART_INCLUDE
#undef CHART
