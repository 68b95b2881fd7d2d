// The scene import's GPU steps for the fuzz build, which has no GL: the targets parse and
// check scenes, and never run the import's later steps.
#include "resources/Loader.h"

int Loader::uploadScene(KestrelLibDynamic&) { return 0; }
int Loader::loadSceneTexture(Kestrel::Texture&) { return 0; }
int Loader::loadSceneShader(Kestrel::Shader&, KestrelLibDynamic&) { return 0; }
