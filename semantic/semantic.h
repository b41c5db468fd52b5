#pragma once
#include "form/form.h"

void resolve(Node *root);
void expand(Node *root);
