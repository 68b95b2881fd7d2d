#include "gui/TweakGui.h"

Runtime* TweakGui::runtime = nullptr;

TweakGui::TweakGui(Runtime* owner) { runtime = owner; }
