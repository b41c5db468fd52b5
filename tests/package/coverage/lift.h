// A lift for the coverage tests: the harness calls the inline functions,
// which count as code under test too.
#pragma once

class Lift {
public:
    explicit Lift(int floors) : floors_(floors) {}
    int level() const { return level_; }
    bool up();
    bool down();
    bool mayOpen(bool stopped, bool atFloor) const;
    int neverCalled() const;

private:
    int floors_;
    int level_ = 0;
};
