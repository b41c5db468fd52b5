// Runs the state-chart code that zepprepro writes for statechart.otc
// against a hand-made model of the two classes and checks every report.
// run_statechart.py extracts the fragments of the instrumentation file
// into chart<N>_tables.inc, chart<N>_update.inc and chart<N>_check.inc
// (N = 1 for Gauge, 2 for Latch, 3 for Idle) before compiling this file.
#include <cstdio>
#include <string>
#include <vector>

// What the reader of the instrumentation file and the run-time library
// supply; the layouts follow the order of the initialisers in the tables.
typedef long _muv_StateType;
typedef bool _muv_Boolean;
typedef char _muv_Car;
const bool _krn_false = false;
const bool _krn_true = true;
#define _MUV_STATIC_CONST static const
// Any value will do; it must only come back unchanged in every report.
#define _MUV_CLASS_FILE_CLS 0x5a

struct muv_TransDesc {
    long Id;
    _muv_StateType DestStateNo;
};

struct muv_StateDesc {
    _muv_Car *Name;
    long Id;
    _muv_StateType TransNb;
    const muv_TransDesc *Trans;
};

namespace {

std::vector<std::string> events;

void note(const char *what, long id, int file)
{
    char text[80];
    std::snprintf(text, sizeof text, "%s 0x%lx%s", what, id, file == _MUV_CLASS_FILE_CLS ? "" : " (wrong file)");
    events.push_back(text);
}

} // namespace

void _muv_transition(long id) { note("transition", id, _MUV_CLASS_FILE_CLS); }
void _muv_current_state(long id, int file) { note("current", id, file); }
void _muv_illegal_transition(long id, int file) { note("illegal", id, file); }
void _muv_multiple_transitions(long id, int file) { note("multiple", id, file); }

// Each chart sees only its own tables, as each class of the application
// would.
#define CHART_FILE(number, role) CHART_NAME(number, role)
#define CHART_NAME(number, role) CHART_TEXT(chart##number##_##role.inc)
#define CHART_TEXT(name) #name
namespace gauge {
#define CHART 1
#include "chart_model.h"
} // namespace gauge
namespace latch {
#define CHART 2
#include "chart_model.h"
} // namespace latch
namespace idle {
#define CHART 3
#include "chart_model.h"
} // namespace idle

namespace {

#if ZEP_REPORT_REFLEXIVE_STATES
const bool reflexive = true;
#else
const bool reflexive = false;
#endif

struct Step {
    long value;
    long stateAfter;
    std::vector<std::string> reports;
    // The report of a state kept, made only when reflexive states are
    // reported; empty when the step changes or loses the state.
    std::string keptReport = {};
};

int failures = 0;

template <typename Model>
void play(const char *chart, const std::vector<Step> &steps)
{
    Model model;
    int number = 0;
    for (const Step &step : steps) {
        ++number;
        events.clear();
        model.v = step.value;
        model.update();
        std::vector<std::string> want = step.reports;
        if (reflexive && !step.keptReport.empty())
            want.push_back(step.keptReport);
        if (model._muv_state != step.stateAfter || events != want) {
            ++failures;
            std::printf("FAIL: %s step %d (v = %ld): state %ld, expected %ld; reports:", chart, number, step.value,
                        model._muv_state, step.stateAfter);
            for (const std::string &event : events)
                std::printf(" [%s]", event.c_str());
            std::printf(" expected:");
            for (const std::string &event : want)
                std::printf(" [%s]", event.c_str());
            std::printf("\n");
        }
    }
}

} // namespace

int main()
{
    // Gauge: Low 0x5 (v in 0..9), Mid 0x8 (v in 5..19), High 0xb (v >= 20);
    // Low TO Mid 0xd, Mid TO High 0xe, High TO Low 0xf; the class is 0x2,
    // its observation state 0x2dc6c2.
    play<gauge::Model>("Gauge", {
        {2, 0, {"current 0x5"}},                        // first state found alone
        {3, 0, {}, "current 0x5"},                      // stays in Low
        {12, 1, {"transition 0xd", "current 0x8"}},
        {25, 2, {"transition 0xe", "current 0xb"}},
        {2, 0, {"transition 0xf", "current 0x5"}},
        {7, -1, {"multiple 0x5"}},                      // Low itself and Mid both hold
        {7, -1, {"multiple 0x2dc6c2"}},                 // no state yet: two candidates
        {30, 2, {"current 0xb"}},
        {12, -1, {"illegal 0xb"}},                      // Mid holds but is no destination of High
        {-5, -1, {"illegal 0x2dc6c2"}},                 // no state yet, none holds
        {15, 1, {"current 0x8"}},
        {7, 1, {}, "current 0x8"},                      // Low holds too, but only Mid's destinations count
        {3, -1, {"illegal 0x8"}},
    });
    // Latch: Open 0x11 (v > 0), Shut 0x13 (v <= 0), no transitions: once a
    // state is known it can only be kept.
    play<latch::Model>("Latch", {
        {1, 0, {"current 0x11"}},
        {5, 0, {}, "current 0x11"},
        {0, -1, {"illegal 0x11"}},
        {0, 1, {"current 0x13"}},
        {1, -1, {"illegal 0x13"}},
        {-3, 1, {"current 0x13"}},
    });
    // Idle: Any 0x16 has no condition, so it holds whatever v is.
    play<idle::Model>("Idle", {
        {0, 0, {"current 0x16"}},
        {-8, 0, {}, "current 0x16"},
    });
    return failures == 0 ? 0 : 1;
}
