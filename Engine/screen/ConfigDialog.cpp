#include "screen/ConfigDialog.h"

Runtime* ConfigDialog::runtime = nullptr;

ConfigDialog::ConfigDialog(Runtime* owner) { runtime = owner; }
