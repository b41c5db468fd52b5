#pragma once
#include "form/form.h"

void writeRecordFiles(Node *root);
