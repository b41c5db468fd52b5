#pragma once
#include "form/form.h"

int parseCommandLine(Run *run, int argc, char **argv);
void printUsage();
SourceName *appendSourceName(Run *run, SourceName *list, const char *name);
