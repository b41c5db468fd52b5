#pragma once

struct Run;
struct RunHooks;

// One whole run after the toolkit is set up: returns the exit status. The
// hooks (none for the program itself) may take its output files.
int runTranslator(int argc, char **argv, const RunHooks *hooks = nullptr);

// How far a check goes: parsing; then resolution; then expansion and
// resolution again, as far as the translator goes before it writes.
enum : int { CHECK_PARSE = 1, CHECK_RESOLVE = 2, CHECK_EXPAND = 3 };

// The front end alone on one script, as a language server runs it on every
// change: each stage up to lastStage only while nothing has been counted,
// messages to the hooks, no file written. The run, with its tree under
// root, stays for the caller's questions until finishCheck releases it;
// null when it could not be set up (message 45 reported). Runs are
// independent: a caller may hold several at once.
Run *startCheck(const char *path, const RunHooks *hooks, int lastStage);
void finishCheck(Run *run);
