// Source-file entry of the parser. The scanner and the construct routines
// are not there yet: a source file is accepted without being read.
#include "parser/parser.h"

int parseSourceFile(const char *, Node *, int, const char *)
{
    return 0;
}
