// Tweak bars in the browser: Dear ImGui is not built for the page, so TwInit fails (the
// engine then reports its GUI could not start) and every other call does nothing.
#include "platform/tweakbar/TweakBar.h"

#include "platform/web/Unavailable.h"

namespace {
const std::string& reason() {
  static const std::string text = platform::notInBrowser("The tweak GUI (--gui)");
  return text;
}
TwErrorHandler g_handler = nullptr;
}  // namespace

int TwInit(TwGraphAPI, void*) {
  if (g_handler) g_handler(reason().c_str());
  return 0;
}
int TwTerminate() { return 0; }
TwBar* TwNewBar(const char*) { return nullptr; }
int TwDefine(const char*) { return 0; }
int TwAddButton(TwBar*, const char*, TwButtonCallback, void*, const char*) { return 0; }
int TwAddVarRW(TwBar*, const char*, TwType, void*, const char*) { return 0; }
int TwAddVarCB(TwBar*, const char*, TwType, TwSetVarCallback, TwGetVarCallback, void*, const char*) { return 0; }
void TwHandleErrors(TwErrorHandler handler) { g_handler = handler; }
const char* TwGetLastError() { return reason().c_str(); }
int TwEventWin(const platform::Message&) { return 0; }
int TwDraw() { return 0; }
// --watch, which draws these, is refused in the browser before any is drawn.
int TwDrawMessage(const char*) { return 0; }

namespace tweakbar {

std::string Definition::get(const std::string& key, const std::string& fallback) const {
  const auto found = attributes.find(key);
  return found == attributes.end() ? fallback : found->second;
}

double Definition::number(const std::string&, double fallback) const { return fallback; }

bool parseDefinition(const std::string&, bool, Definition&, std::string& error) {
  error = reason();
  return false;
}

const std::vector<Item>* barItems(const char*) { return nullptr; }
double itemValue(const Item&) { return 0.0; }
void setItemValue(const Item&, double) {}
void pressButton(const Item&) {}
long eventsOffered() { return 0; }

}  // namespace tweakbar
