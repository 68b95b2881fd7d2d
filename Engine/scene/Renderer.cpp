#include "scene/Renderer.h"

Renderer::Renderer(Runtime* owner) : runtime(owner) {}
