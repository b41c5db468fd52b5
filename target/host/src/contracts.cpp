// Run-time of the contracts that zepinstr weaves into the application: a
// failed REQUIRE, ENSURE or INVARIANT and an illegal or multiple transition
// are trace lines and failed checks; passes, states entered and transitions
// fired are only counted and written as TALLY lines at the end of the run,
// so that a method called a million times does not flood the trace.
#include "lib/TP.h"
#include "src/run.h"

#include <map>
#include <tuple>
#include <utility>

namespace {

enum TallyKind { TallyState, TallyTransition, TallyPass };

const char *const tallyWords[] = {"STATE", "TRANSITION", "PASS"};
const char *const contractWords[] = {"REQUIRE", "ENSURE", "INVARIANT"};
const char *const momentWords[] = {"IN", "AFTER", "BEFORE"};

struct Contracts {
    // (kind, file, id): ordered, so the TALLY lines come out the same on
    // every target.
    std::map<std::tuple<int, _zep_Int, _zep_Id>, unsigned long> tallies;
    // (object, class): the state of an object, or of a SINGLE CLASS with a
    // null object.
    std::map<std::pair<const void *, _zep_Id>, _muv_StateType> states;
    std::map<const void *, int> depths;
};

// Never destroyed, like the run itself: static objects of the application
// may still call their contracts after main has returned.
Contracts &contracts()
{
    static Contracts *state = new Contracts;
    return *state;
}

void tally(int kind, _zep_Id id, _zep_Int file)
{
    contracts().tallies[std::make_tuple(kind, file, id)]++;
}

unsigned long fileField(_zep_Int file)
{
    return static_cast<unsigned long>(static_cast<unsigned int>(file));
}

} // namespace

void zeptp::writeTallies()
{
    for (const auto &[key, count] : contracts().tallies)
        traceEvent("TALLY %s %lx %lx %lu", tallyWords[std::get<0>(key)], std::get<2>(key),
                   fileField(std::get<1>(key)), count);
}

extern "C" {

_zep_Int _muv_file(_zep_Ulong checksumA, _zep_Ulong checksumB) noexcept
{
    return zeptp::fileWithChecksums(checksumA, checksumB);
}

void _muv_verdict(int kind, _zep_Verdict held, _zep_Id id, _zep_Int file, int when, const _zep_Car *function) noexcept
{
    if (held) {
        tally(TallyPass, id, file);
        return;
    }
    zeptp::traceEvent("VIOLATION %s %lx %lx %s %s", contractWords[kind], id, fileField(file), momentWords[when],
                      zeptp::quotedText(function).c_str());
    zeptp::contractFailed();
}

void _muv_current_state(_zep_Id state, _zep_Int file) noexcept { tally(TallyState, state, file); }

void _muv_transition_fired(_zep_Id transition, _zep_Int file) noexcept { tally(TallyTransition, transition, file); }

void _muv_illegal_transition(_zep_Id from, _zep_Int file) noexcept
{
    zeptp::traceEvent("ILLEGAL %lx %lx", from, fileField(file));
    zeptp::contractFailed();
}

void _muv_multiple_transitions(_zep_Id from, _zep_Int file) noexcept
{
    zeptp::traceEvent("MULTIPLE %lx %lx", from, fileField(file));
    zeptp::contractFailed();
}

_muv_StateType *_muv_state_of(_zep_Id classId, const void *object) noexcept
{
    auto [at, added] = contracts().states.try_emplace(std::make_pair(object, classId), -1L);
    (void)added;
    return &at->second;
}

int _muv_enter_object(const void *object) noexcept { return contracts().depths[object]++; }

void _muv_leave_object(const void *object) noexcept
{
    auto at = contracts().depths.find(object);
    if (at != contracts().depths.end() && --at->second <= 0)
        contracts().depths.erase(at);
}

// A later object at the same address starts without a state.
void _muv_forget_object(const void *object) noexcept
{
    auto &states = contracts().states;
    states.erase(states.lower_bound(std::make_pair(object, _zep_Id(0))),
                 states.upper_bound(std::make_pair(object, ~_zep_Id(0))));
}

} // extern "C"
