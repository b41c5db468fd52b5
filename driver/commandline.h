#pragma once
#include "form/form.h"

int parseCommandLine(int argc, char **argv);
void printUsage();
SourceName *appendSourceName(SourceName *list, const char *name);
