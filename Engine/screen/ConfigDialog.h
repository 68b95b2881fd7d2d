// ConfigDialog: the start-up settings dialog shown by Screen::init before any window opens.
//
// Owned by Runtime; it has no data of its own. Its construction stores the Runtime pointer
// in a static that the dialog's handlers use.
#pragma once

class Runtime;

class ConfigDialog {
 public:
  explicit ConfigDialog(Runtime* runtime);
  static Runtime* runtime;
};
