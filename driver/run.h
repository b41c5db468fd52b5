#pragma once

// One whole run after the toolkit is set up: returns the exit status.
int runTranslator(int argc, char **argv);
