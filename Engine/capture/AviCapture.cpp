#include "capture/AviCapture.h"

AviCapture::AviCapture(Runtime* runtime) : engine(runtime) {}

// Capture is not available in this build yet: init fails, so no file is ever claimed written.
int AviCapture::init() { return 1; }
void AviCapture::writeFrame() {}
void AviCapture::close() { initialised = false; }
