#pragma once

namespace building {
class Lift {
public:
    explicit Lift(int floors) : floors_(floors) {}
    int floor() const { return floor_; }
    void call(int floor);
    void call(int floor, bool express);
    int jump(int by);
    void fail();
    void twice(int floor) { call(floor); call(floor); }

private:
    int floors_;
    int floor_ = 0;
};
} // namespace building

struct Counter {
    int n = 0;
    void bump() { n++; }
};

void show(int floor);
