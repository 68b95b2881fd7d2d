#include "platform/tweakbar/TweakBar.h"

#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>
#include PYLON_IMGUI_SDL2_HEADER  // imgui_impl_sdl2.h, or imgui_impl_sdl.h before Dear ImGui 1.90

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

struct TwBar {
  std::string name;
  std::vector<tweakbar::Item> items;
  float width = 200, height = 320;
  float x = 10, y = 10;  // the top left corner, pixels from the window's
  float valuesWidth = 80;
  double refresh = 0.2;
  bool visible = true;
  bool iconified = false;
  bool placed = false;
};

namespace {

struct State {
  bool initialised = false;
  SDL_Window* window = nullptr;
  std::vector<std::unique_ptr<TwBar>> bars;
  std::string lastError;
  TwErrorHandler handler = nullptr;
};

State& state() {
  static State s;
  return s;
}

int fail(const std::string& reason) {
  State& s = state();
  s.lastError = reason;
  if (s.handler) s.handler(s.lastError.c_str());
  return 0;
}

TwBar* findBar(const std::string& name) {
  for (auto& bar : state().bars)
    if (bar->name == name) return bar.get();
  return nullptr;
}

bool ownsBar(TwBar* bar) {
  for (auto& b : state().bars)
    if (b.get() == bar) return true;
  return false;
}

void applyBarAttributes(TwBar& bar, const tweakbar::Definition& d) {
  if (d.has("size")) {
    float w = 0, h = 0;
    if (std::sscanf(d.get("size").c_str(), "%f %f", &w, &h) == 2 && w > 0 && h > 0) {
      bar.width = w;
      bar.height = h;
    }
  }
  if (d.has("position")) {
    float x = 0, y = 0;
    if (std::sscanf(d.get("position").c_str(), "%f %f", &x, &y) == 2 && x >= 0 && y >= 0) {
      bar.x = x;
      bar.y = y;
    }
  }
  if (d.has("valuesWidth")) bar.valuesWidth = static_cast<float>(d.number("valuesWidth", bar.valuesWidth));
  if (d.has("refresh")) bar.refresh = d.number("refresh", bar.refresh);
  if (d.has("show")) {
    bar.visible = true;
    bar.iconified = false;
  }
  if (d.has("hide")) bar.visible = false;
  if (d.has("iconify")) bar.iconified = true;
  bar.placed = false;  // let the next draw apply the new geometry
}

int addItem(TwBar* bar, tweakbar::Item item, const char* definition) {
  if (!ownsBar(bar)) return fail("Invalid bar");
  if (item.name.empty()) return fail("Invalid variable name");
  for (const tweakbar::Item& existing : bar->items)
    if (existing.name == item.name) return fail("Variable name '" + item.name + "' already exists in bar '" + bar->name + "'");
  std::string error;
  if (!tweakbar::parseDefinition(definition ? definition : "", false, item.definition, error))
    return fail("Invalid definition for '" + item.name + "': " + error);
  bar->items.push_back(std::move(item));
  return 1;
}

double clampToDefinition(const tweakbar::Item& item, double v) {
  if (item.definition.has("min")) v = std::max(v, item.definition.number("min", v));
  if (item.definition.has("max")) v = std::min(v, item.definition.number("max", v));
  return v;
}

double defaultStep(const tweakbar::Item& item) {
  return item.definition.number("step", item.type == TW_TYPE_FLOAT ? 0.01 : 1.0);
}

// keyincr / keydecr: a character typed anywhere steps the variable.
bool stepByKey(int64_t character) {
  for (auto& bar : state().bars) {
    for (const tweakbar::Item& item : bar->items) {
      if (item.button || item.type == TW_TYPE_BOOLCPP) continue;
      const std::string inc = item.definition.get("keyincr"), dec = item.definition.get("keydecr");
      int direction = 0;
      if (inc.size() == 1 && static_cast<unsigned char>(inc[0]) == character) direction = 1;
      if (dec.size() == 1 && static_cast<unsigned char>(dec[0]) == character) direction = -1;
      if (!direction) continue;
      tweakbar::setItemValue(item, clampToDefinition(item, tweakbar::itemValue(item) + direction * defaultStep(item)));
      return true;
    }
  }
  return false;
}

void drawItem(TwBar& bar, const tweakbar::Item& item) {
  const std::string label = item.definition.get("label", item.name);
  const std::string id = label + "##" + item.name;
  if (item.button) {
    if (ImGui::Button(id.c_str(), ImVec2(-1, 0))) tweakbar::pressButton(item);
    return;
  }
  ImGui::PushItemWidth(bar.valuesWidth);
  const double step = defaultStep(item);
  const float lo = static_cast<float>(item.definition.number("min", item.type == TW_TYPE_FLOAT ? -1e9 : -2147483647.0));
  const float hi = static_cast<float>(item.definition.number("max", item.type == TW_TYPE_FLOAT ? 1e9 : 2147483647.0));
  if (item.type == TW_TYPE_BOOLCPP) {
    bool v = tweakbar::itemValue(item) != 0.0;
    if (ImGui::Checkbox(id.c_str(), &v)) tweakbar::setItemValue(item, v ? 1.0 : 0.0);
  } else if (item.type == TW_TYPE_INT32) {
    int v = static_cast<int>(tweakbar::itemValue(item));
    if (ImGui::DragInt(id.c_str(), &v, static_cast<float>(step), static_cast<int>(lo), static_cast<int>(hi)))
      tweakbar::setItemValue(item, v);
  } else {
    float v = static_cast<float>(tweakbar::itemValue(item));
    const int precision = static_cast<int>(item.definition.number("precision", 2));
    char format[16];
    std::snprintf(format, sizeof(format), "%%.%df", std::clamp(precision, 0, 9));
    if (ImGui::DragFloat(id.c_str(), &v, static_cast<float>(step), lo, hi, format))
      tweakbar::setItemValue(item, clampToDefinition(item, v));
  }
  ImGui::PopItemWidth();
}

}  // namespace

namespace tweakbar {

std::string Definition::get(const std::string& key, const std::string& fallback) const {
  auto it = attributes.find(key);
  return it == attributes.end() ? fallback : it->second;
}

double Definition::number(const std::string& key, double fallback) const {
  auto it = attributes.find(key);
  if (it == attributes.end() || it->second.empty()) return fallback;
  char* end = nullptr;
  double v = std::strtod(it->second.c_str(), &end);
  return (end && *end == '\0') ? v : fallback;
}

bool parseDefinition(const std::string& text, bool withTarget, Definition& out, std::string& error) {
  out = Definition{};
  size_t i = 0;
  const size_t n = text.size();
  auto skipSpace = [&] {
    while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  auto readWord = [&](std::string& word, bool stopAtEquals) -> bool {
    word.clear();
    if (i < n && (text[i] == '\'' || text[i] == '"')) {
      const char quote = text[i++];
      size_t close = text.find(quote, i);
      if (close == std::string::npos) {
        error = "unterminated quote";
        return false;
      }
      word = text.substr(i, close - i);
      i = close + 1;
      return true;
    }
    while (i < n && !std::isspace(static_cast<unsigned char>(text[i])) && !(stopAtEquals && text[i] == '=')) word += text[i++];
    return true;
  };
  skipSpace();
  if (withTarget) {
    if (!readWord(out.target, false)) return false;
    if (out.target.empty()) {
      error = "no bar named";
      return false;
    }
  }
  for (;;) {
    skipSpace();
    if (i >= n) return true;
    std::string key, value;
    if (!readWord(key, true)) return false;
    if (key.empty()) {
      error = "attribute without a name";
      return false;
    }
    if (i < n && text[i] == '=') {
      ++i;
      if (!readWord(value, false)) return false;
    }
    out.attributes[key] = value;
  }
}

const std::vector<Item>* barItems(const char* barName) {
  TwBar* bar = findBar(barName ? barName : "");
  return bar ? &bar->items : nullptr;
}

double itemValue(const Item& item) {
  if (item.button) return 0;
  union {
    float f;
    int i;
    bool b;
  } v{};
  if (item.get) {
    item.get(&v, item.clientData);
  } else if (item.var) {
    if (item.type == TW_TYPE_FLOAT) v.f = *static_cast<float*>(item.var);
    if (item.type == TW_TYPE_INT32) v.i = *static_cast<int*>(item.var);
    if (item.type == TW_TYPE_BOOLCPP) v.b = *static_cast<bool*>(item.var);
  }
  if (item.type == TW_TYPE_FLOAT) return v.f;
  if (item.type == TW_TYPE_INT32) return v.i;
  return v.b ? 1 : 0;
}

void setItemValue(const Item& item, double value) {
  if (item.button) return;
  union {
    float f;
    int i;
    bool b;
  } v{};
  if (item.type == TW_TYPE_FLOAT) v.f = static_cast<float>(value);
  if (item.type == TW_TYPE_INT32) v.i = static_cast<int>(std::lround(value));
  if (item.type == TW_TYPE_BOOLCPP) v.b = value != 0.0;
  if (item.set) {
    item.set(&v, item.clientData);
  } else if (item.var) {
    if (item.type == TW_TYPE_FLOAT) *static_cast<float*>(item.var) = v.f;
    if (item.type == TW_TYPE_INT32) *static_cast<int*>(item.var) = v.i;
    if (item.type == TW_TYPE_BOOLCPP) *static_cast<bool*>(item.var) = v.b;
  }
}

void pressButton(const Item& item) {
  if (item.button && item.press) item.press(item.clientData);
}

}  // namespace tweakbar

int TwInit(TwGraphAPI graphAPI, void*) {
  State& s = state();
  if (s.initialised) return fail("Already initialized");
  if (graphAPI != TW_OPENGL) return fail("Unsupported graphics API");
  SDL_Window* window = SDL_GL_GetCurrentWindow();
  SDL_GLContext context = SDL_GL_GetCurrentContext();
  if (!window || !context) return fail("No current OpenGL window");
  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // the bar keeps no files in the working directory
  io.LogFilename = nullptr;
  ImGui::StyleColorsDark();
  ImGui::GetStyle().Alpha = 0.92f;
  if (!ImGui_ImplSDL2_InitForOpenGL(window, context) || !ImGui_ImplOpenGL2_Init()) {
    ImGui::DestroyContext();
    return fail("Cannot initialize the GUI renderer");
  }
  s.window = window;
  s.initialised = true;
  return 1;
}

int TwTerminate() {
  State& s = state();
  if (!s.initialised) return fail("Not initialized");
  ImGui_ImplOpenGL2_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  s = State{};
  return 1;
}

TwBar* TwNewBar(const char* barName) {
  State& s = state();
  if (!s.initialised) {
    fail("Not initialized");
    return nullptr;
  }
  if (!barName || !*barName) {
    fail("Invalid bar name");
    return nullptr;
  }
  if (TwBar* existing = findBar(barName)) {
    fail(std::string("Bar '") + barName + "' already exists");
    return existing;
  }
  auto bar = std::make_unique<TwBar>();
  bar->name = barName;
  s.bars.push_back(std::move(bar));
  return s.bars.back().get();
}

int TwDefine(const char* definition) {
  tweakbar::Definition d;
  std::string error;
  if (!tweakbar::parseDefinition(definition ? definition : "", true, d, error)) return fail("Bad definition: " + error);
  const size_t slash = d.target.find('/');
  TwBar* bar = findBar(d.target.substr(0, slash));
  if (!bar) return fail("Unknown bar '" + d.target.substr(0, slash) + "'");
  if (slash == std::string::npos) {
    applyBarAttributes(*bar, d);
    return 1;
  }
  const std::string varName = d.target.substr(slash + 1);
  for (tweakbar::Item& item : bar->items) {
    if (item.name == varName) {
      for (auto& [k, v] : d.attributes) item.definition.attributes[k] = v;
      return 1;
    }
  }
  return fail("Unknown variable '" + varName + "'");
}

int TwAddButton(TwBar* bar, const char* name, TwButtonCallback callback, void* clientData, const char* definition) {
  tweakbar::Item item;
  item.name = name ? name : "";
  item.button = true;
  item.press = callback;
  item.clientData = clientData;
  return addItem(bar, std::move(item), definition);
}

int TwAddVarRW(TwBar* bar, const char* name, TwType type, void* var, const char* definition) {
  if (!var) return fail("Null variable pointer");
  tweakbar::Item item;
  item.name = name ? name : "";
  item.type = type;
  item.var = var;
  return addItem(bar, std::move(item), definition);
}

int TwAddVarCB(TwBar* bar, const char* name, TwType type, TwSetVarCallback setCallback, TwGetVarCallback getCallback,
               void* clientData, const char* definition) {
  if (!getCallback) return fail("A get callback is required");
  tweakbar::Item item;
  item.name = name ? name : "";
  item.type = type;
  item.set = setCallback;
  item.get = getCallback;
  item.clientData = clientData;
  return addItem(bar, std::move(item), definition);
}

void TwHandleErrors(TwErrorHandler handler) { state().handler = handler; }

const char* TwGetLastError() {
  const std::string& e = state().lastError;
  return e.empty() ? nullptr : e.c_str();
}

namespace {
long g_eventsOffered = 0;
}

long tweakbar::eventsOffered() { return g_eventsOffered; }

int TwEventWin(const platform::Message& message) {
  ++g_eventsOffered;
  State& s = state();
  if (!s.initialised) return 0;
  bool used = false;
  if (message.hasNative) {
    SDL_Event event;
    std::memcpy(&event, message.native.data(), sizeof(SDL_Event));
    ImGui_ImplSDL2_ProcessEvent(&event);
    const ImGuiIO& io = ImGui::GetIO();
    switch (event.type) {
      case SDL_MOUSEMOTION:
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
      case SDL_MOUSEWHEEL:
        used = io.WantCaptureMouse;
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
      case SDL_TEXTINPUT:
        used = io.WantCaptureKeyboard;
        break;
      default:
        break;
    }
  }
  if (!used && message.type == platform::MessageType::Char) used = stepByKey(message.wParam);
  return used ? 1 : 0;
}

int TwDrawMessage(const char* text) {
  if (!state().initialised && !TwInit(TW_OPENGL, nullptr)) return 0;
  ImGui_ImplOpenGL2_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  const ImGuiViewport* view = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(ImVec2(10, view->Size.y - 10), ImGuiCond_Always, ImVec2(0, 1));
  ImGui::SetNextWindowBgAlpha(0.85f);
  ImGui::Begin("message", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoInputs |
                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing);
  ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(1.0f, 0.35f, 0.3f, 1.0f));
  ImGui::PushTextWrapPos(view->Size.x - 40.0f);
  ImGui::TextUnformatted(text);
  ImGui::PopTextWrapPos();
  ImGui::PopStyleColor();
  ImGui::End();
  ImGui::Render();
  ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
  return 1;
}

int TwDraw() {
  State& s = state();
  if (!s.initialised) return fail("Not initialized");
  ImGui_ImplOpenGL2_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  for (auto& barPtr : s.bars) {
    TwBar& bar = *barPtr;
    if (!bar.visible) continue;
    if (!bar.placed) {
      ImGui::SetNextWindowPos(ImVec2(bar.x, bar.y), ImGuiCond_Always);
      ImGui::SetNextWindowSize(ImVec2(bar.width, bar.height), ImGuiCond_Always);
      ImGui::SetNextWindowCollapsed(bar.iconified, ImGuiCond_Always);
      bar.placed = true;
    }
    if (ImGui::Begin(bar.name.c_str())) {
      // Items without a group first in their order, then each group under its header in
      // the order the groups first appear.
      std::vector<std::string> groups;
      for (const tweakbar::Item& item : bar.items) {
        const std::string group = item.definition.get("group");
        if (group.empty())
          drawItem(bar, item);
        else if (std::find(groups.begin(), groups.end(), group) == groups.end())
          groups.push_back(group);
      }
      for (const std::string& group : groups) {
        if (!ImGui::CollapsingHeader(group.c_str(), ImGuiTreeNodeFlags_DefaultOpen)) continue;
        for (const tweakbar::Item& item : bar.items)
          if (item.definition.get("group") == group) drawItem(bar, item);
      }
    }
    ImGui::End();
  }
  ImGui::Render();
  ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
  return 1;
}
