// Code generation; written once the parser builds elements.
#include "codegen/codegen.h"

void generate(Node *) {}
