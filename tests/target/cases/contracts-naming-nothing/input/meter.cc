#include "meter.h"

int Meter::read() { return value; }
int Meter::read(int scale) const { return value * scale; }
