// TweakBar: live tweak bars with the calls of the classic "Tw" bar library, drawn with
// Dear ImGui over OpenGL 2.
//
// Lifecycle: TwInit(TW_OPENGL, nullptr) once the GL context is current (it binds to the
// current SDL window), TwNewBar() and the TwAdd... calls to fill bars, TwEventWin() for every
// window message (non-zero: the bar used it), TwDraw() once per frame before the buffer swap,
// TwTerminate() at the end. Bars live until TwTerminate().
//
// Definition strings are the library's: " BAR attr=value attr='two words' flag " for TwDefine,
// and " attr=value ... " for a variable (min, max, step, precision, label, group, keyincr,
// keydecr; bar attributes refresh, size, position, valuesWidth, show, iconify). A failed call returns 0
// and leaves its reason in TwGetLastError(); the handler set with TwHandleErrors() is told
// too. Main thread only; callbacks run inside TwEventWin() and TwDraw().
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Events.h"

struct TwBar;

enum TwGraphAPI { TW_OPENGL = 1 };
enum TwType { TW_TYPE_UNDEF = 0, TW_TYPE_BOOLCPP, TW_TYPE_INT32, TW_TYPE_FLOAT };

typedef void (*TwSetVarCallback)(const void* value, void* clientData);
typedef void (*TwGetVarCallback)(void* value, void* clientData);
typedef void (*TwButtonCallback)(void* clientData);
typedef void (*TwErrorHandler)(const char* errorMessage);

int TwInit(TwGraphAPI graphAPI, void* device);
int TwTerminate();
TwBar* TwNewBar(const char* barName);
int TwDefine(const char* definition);
int TwAddButton(TwBar* bar, const char* name, TwButtonCallback callback, void* clientData, const char* definition);
int TwAddVarRW(TwBar* bar, const char* name, TwType type, void* var, const char* definition);
int TwAddVarCB(TwBar* bar, const char* name, TwType type, TwSetVarCallback setCallback, TwGetVarCallback getCallback,
               void* clientData, const char* definition);
void TwHandleErrors(TwErrorHandler handler);
const char* TwGetLastError();
int TwEventWin(const platform::Message& message);
int TwDraw();
// Not an AntTweakBar call: a message box drawn over the picture (the player's --watch shows
// reload errors with it), red text in a window at the bottom left. Initialises the GUI
// renderer on first use when the tweak bars are off. 1 on success, 0 on failure.
int TwDrawMessage(const char* text);

namespace tweakbar {

// One parsed definition: attribute name -> value ("" for a bare flag such as "show").
// Quotes ('...' or "...") group a value with spaces; the quotes are removed.
struct Definition {
  std::string target;  // the bar (or "bar/variable") a TwDefine names; "" for variable definitions
  std::map<std::string, std::string> attributes;
  bool has(const std::string& key) const { return attributes.count(key) != 0; }
  std::string get(const std::string& key, const std::string& fallback = "") const;
  double number(const std::string& key, double fallback) const;
};

// withTarget: the first word names the bar (TwDefine); otherwise every word is an attribute.
// Returns false (and a reason) for an unterminated quote or an attribute without a name.
bool parseDefinition(const std::string& text, bool withTarget, Definition& out, std::string& error);

// What a bar holds, for tests and for drawing.
struct Item {
  std::string name;
  bool button = false;
  TwType type = TW_TYPE_UNDEF;
  void* var = nullptr;
  TwSetVarCallback set = nullptr;
  TwGetVarCallback get = nullptr;
  TwButtonCallback press = nullptr;
  void* clientData = nullptr;
  Definition definition;
};

const std::vector<Item>* barItems(const char* barName);

// Reads and writes an item's value as a double through its pointer or callbacks.
double itemValue(const Item& item);
void setItemValue(const Item& item, double value);
void pressButton(const Item& item);

// How many messages TwEventWin() has been offered in this process.
long eventsOffered();

}  // namespace tweakbar
