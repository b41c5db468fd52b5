#include "lift.h"

bool Lift::up()
{
    if (level_ + 1 >= floors_)
        return false;
    level_++;
    return true;
}

bool Lift::down()
{
    if (level_ == 0)
        return false;
    level_--;
    return true;
}

bool Lift::mayOpen(bool stopped, bool atFloor) const
{
    if (stopped && atFloor)
        return true;
    return false;
}

int Lift::neverCalled() const
{
    return -level_;
}
