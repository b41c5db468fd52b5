#include "app.h"

volatile unsigned long turns;

void spin()
{
    for (;;)
        turns++;
}
