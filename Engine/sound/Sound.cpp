#include "sound/Sound.h"

Sound::Sound(Runtime* runtime) : engine(runtime) {}

// No music system in this build yet: nothing is loaded, so the demo runs silent.
int Sound::init() { return 0; }
void Sound::stop() {}
