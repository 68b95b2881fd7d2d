#include "platform/web/Page.h"

#include <emscripten.h>

namespace {

EM_ASYNC_JS(void, pylon_await_animation_frame, (), {
  if (typeof Module['pylonFrame'] === 'function') Module['pylonFrame']();
  await new Promise(function(resolve) { requestAnimationFrame(function() { resolve(); }); });
});

EM_JS(void, pylon_show_message, (const char* caption, const char* text, const char* kind), {
  var c = UTF8ToString(caption), t = UTF8ToString(text), k = UTF8ToString(kind);
  if (typeof Module['pylonShowMessage'] === 'function') Module['pylonShowMessage'](c, t, k);
  else console.error(c + ': ' + t);
});

EM_JS(void, pylon_run_ended, (int code), {
  if (typeof Module['pylonRunEnded'] === 'function') Module['pylonRunEnded'](code);
});

}  // namespace

namespace platform::page {

void awaitAnimationFrame() { pylon_await_animation_frame(); }

void showMessage(const std::string& caption, const std::string& text, const char* kind) {
  pylon_show_message(caption.c_str(), text.c_str(), kind);
}

void runEnded(int exitCode) { pylon_run_ended(exitCode); }

}  // namespace platform::page
