// Name resolution and inheritance expansion; nothing to bind until the
// parser builds elements.
#include "semantic/semantic.h"

void resolve(Node *) {}
void expand(Node *) {}
