// Page: the web player's side of the page that runs it (web/player.js), in the browser only.
//
// awaitAnimationFrame() suspends the program (through ASYNCIFY) until the browser's next
// animation frame: what was drawn is shown, and the page's events, timers and sound are
// served meanwhile, so the engine's own loops (the frame loop, the loading bar) run one
// pass per animation frame as they are. swapBuffers() calls it; nothing else needs to. It
// first calls Module.pylonFrame when the page has one, so the page can count the frames.
// showMessage() hands a message box's text to the page, which lays it over the canvas
// (Module.pylonShowMessage); without such a function the text goes to the console only.
// runEnded() tells the page that main() is about to return with that exit code
// (Module.pylonRunEnded), so that it can show the run ended and read what it wrote (the
// shots of --shots) from the in-memory file system. Main thread only.
#pragma once

#include <string>

namespace platform::page {

void awaitAnimationFrame();

// kind: "error", "warning" or "information".
void showMessage(const std::string& caption, const std::string& text, const char* kind);

void runEnded(int exitCode);

}  // namespace platform::page
