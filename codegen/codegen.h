#pragma once
#include "form/form.h"

void generate(Node *root);
