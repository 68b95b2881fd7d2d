#include "scene/MathUtil.h"

MathUtil::MathUtil(Runtime* owner) : runtime(owner) {}
