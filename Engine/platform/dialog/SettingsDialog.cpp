#include "platform/dialog/SettingsDialog.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include <chrono>
#include <map>

namespace platform {
namespace {

class Dialog final : public SettingsDriver {
 public:
  Dialog(SettingsPages& p, const SettingsCallbacks& c) : pages(p), callbacks(c) {}

  SettingsPages& pages;
  const SettingsCallbacks& callbacks;
  SettingsResult result = SettingsResult::Exit;
  bool done = false;
  bool filling = false;  // programmatic changes do not count as user actions
  int shownPage = 0;

  GtkWidget* window = nullptr;
  GtkWidget* notebook = nullptr;
  GtkWidget* startButton = nullptr;
  GtkWidget* exitButton = nullptr;
  std::map<int, GtkWidget*> controls;

  // --- building ---------------------------------------------------------------------------

  GtkWidget* combo(int id, const ChoiceList& list) {
    GtkWidget* w = gtk_combo_box_text_new();
    fillCombo(w, list);
    gtk_widget_set_hexpand(w, TRUE);
    controls[id] = w;
    return w;
  }

  void fillCombo(GtkWidget* w, const ChoiceList& list) {
    filling = true;
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(w));
    for (const std::string& e : list.entries) gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(w), e.c_str());
    const int n = static_cast<int>(list.entries.size());
    gtk_combo_box_set_active(GTK_COMBO_BOX(w), list.selected >= 0 && list.selected < n ? list.selected : -1);
    filling = false;
  }

  GtkWidget* checkBox(int id, const char* text, bool on) {
    GtkWidget* w = gtk_check_button_new_with_label(text);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), on);
    controls[id] = w;
    return w;
  }

  static GtkWidget* label(const char* text) {
    GtkWidget* l = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(l), 0.0f);
    gtk_widget_set_size_request(l, 110, -1);
    return l;
  }

  static GtkWidget* frame(const char* title, GtkWidget* child) {
    GtkWidget* f = gtk_frame_new(title);
    gtk_container_set_border_width(GTK_CONTAINER(child), 8);
    gtk_container_add(GTK_CONTAINER(f), child);
    return f;
  }

  static GtkWidget* grid() {
    GtkWidget* g = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(g), 6);
    gtk_grid_set_column_spacing(GTK_GRID(g), 10);
    return g;
  }

  GtkWidget* buildGeneral() {
    GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(page), 10);

    GtkWidget* g = grid();
    gtk_grid_attach(GTK_GRID(g), label("Device"), 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g), combo(kAdapterList, pages.adapters), 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(g), label("Resolution"), 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(g), combo(kModeList, pages.modes), 1, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(g), label("Antialiasing"), 0, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(g), combo(kAntialiasingList, pages.antialiasing), 1, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(g), label("Anisotrophy"), 0, 3, 1, 1);
    gtk_grid_attach(GTK_GRID(g), combo(kAnisotropyList, pages.anisotropy), 1, 3, 1, 1);
    GtkWidget* checks = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
    gtk_box_pack_start(GTK_BOX(checks), checkBox(kFullscreenCheck, "Fullscreen", pages.fullscreen), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(checks), checkBox(kVsyncCheck, "Wait for VSync", pages.vsync), FALSE, FALSE, 0);
    gtk_grid_attach(GTK_GRID(g), checks, 1, 4, 1, 1);
    gtk_box_pack_start(GTK_BOX(page), frame("Graphics", g), FALSE, FALSE, 0);

    GtkWidget* s = grid();
    gtk_grid_attach(GTK_GRID(s), label("Device"), 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(s), combo(kSoundDriverList, pages.soundDrivers), 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(s), label("Output Method"), 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(s), combo(kOutputMethodList, pages.outputMethods), 1, 1, 1, 1);
    gtk_box_pack_start(GTK_BOX(page), frame("Sound", s), FALSE, FALSE, 0);

    GtkWidget* m = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
    gtk_box_pack_start(GTK_BOX(m), checkBox(kShowStatsCheck, "Show Stats", pages.showStats), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(m), checkBox(kCreateLogCheck, "Create Log", pages.createLog), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(page), frame("Misc", m), FALSE, FALSE, 0);

    g_signal_connect(controls[kAdapterList], "changed",
                     G_CALLBACK(+[](GtkComboBox*, gpointer self) { static_cast<Dialog*>(self)->adapterChanged(); }),
                     this);
    return page;
  }

  GtkWidget* buildCapture() {
    GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    gtk_container_set_border_width(GTK_CONTAINER(page), 10);

    gtk_box_pack_start(GTK_BOX(page),
                       frame("Enable", checkBox(kCaptureCheck, "Enable capturing", pages.captureEnabled)), FALSE, FALSE,
                       0);

    GtkWidget* v = grid();
    gtk_grid_attach(GTK_GRID(v), combo(kVideoCodecList, pages.videoCodecs), 0, 0, 2, 1);
    controls[kCodecSettingsButton] = gtk_button_new_with_label("Settings");
    gtk_grid_attach(GTK_GRID(v), controls[kCodecSettingsButton], 2, 0, 1, 1);
    controls[kFrameRateLabel] = label("Frame rate");
    gtk_grid_attach(GTK_GRID(v), controls[kFrameRateLabel], 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(v), combo(kFrameRateList, pages.frameRates), 1, 1, 1, 1);
    gtk_box_pack_start(GTK_BOX(page), frame("Video codec", v), FALSE, FALSE, 0);

    GtkWidget* a = grid();
    gtk_grid_attach(GTK_GRID(a), combo(kAudioCodecList, pages.audioCodecs), 0, 0, 1, 1);
    controls[kAudioSettingsButton] = gtk_button_new_with_label("Settings");
    gtk_grid_attach(GTK_GRID(a), controls[kAudioSettingsButton], 1, 0, 1, 1);
    gtk_box_pack_start(GTK_BOX(page), frame("Audio codec", a), FALSE, FALSE, 0);

    GtkWidget* o = grid();
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), pages.outputFile.c_str());
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_widget_set_hexpand(entry, TRUE);
    controls[kOutputFileField] = entry;
    gtk_grid_attach(GTK_GRID(o), entry, 0, 0, 1, 1);
    controls[kBrowseButton] = gtk_button_new_with_label("Browse...");
    gtk_grid_attach(GTK_GRID(o), controls[kBrowseButton], 1, 0, 1, 1);
    gtk_box_pack_start(GTK_BOX(page), frame("Output file", o), FALSE, FALSE, 0);

    g_signal_connect(controls[kCaptureCheck], "toggled",
                     G_CALLBACK(+[](GtkToggleButton*, gpointer self) { static_cast<Dialog*>(self)->captureToggled(); }),
                     this);
    g_signal_connect(controls[kVideoCodecList], "changed",
                     G_CALLBACK(+[](GtkComboBox*, gpointer self) { static_cast<Dialog*>(self)->codecChanged(); }),
                     this);
    g_signal_connect(controls[kCodecSettingsButton], "clicked", G_CALLBACK(+[](GtkButton*, gpointer self) {
                       auto* d = static_cast<Dialog*>(self);
                       if (d->callbacks.configureCodec) d->callbacks.configureCodec(d->selection(kVideoCodecList));
                     }),
                     this);
    g_signal_connect(controls[kBrowseButton], "clicked",
                     G_CALLBACK(+[](GtkButton*, gpointer self) { static_cast<Dialog*>(self)->browse(); }), this);
    return page;
  }

  void build() {
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Settings");
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_window_set_default_size(GTK_WINDOW(window), 420, -1);
    if (pages.iconSize > 0 && pages.iconRgba.size() >= static_cast<size_t>(pages.iconSize * pages.iconSize * 4)) {
      GdkPixbuf* icon = gdk_pixbuf_new_from_data(pages.iconRgba.data(), GDK_COLORSPACE_RGB, TRUE, 8, pages.iconSize,
                                                 pages.iconSize, pages.iconSize * 4, nullptr, nullptr);
      gtk_window_set_icon(GTK_WINDOW(window), icon);
      g_object_unref(icon);
    }

    GtkWidget* outer = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_container_set_border_width(GTK_CONTAINER(outer), 8);
    notebook = gtk_notebook_new();
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), buildGeneral(), gtk_label_new("General"));
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), buildCapture(), gtk_label_new("Capture"));
    gtk_box_pack_start(GTK_BOX(outer), notebook, TRUE, TRUE, 0);

    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    gtk_box_set_homogeneous(GTK_BOX(buttons), TRUE);
    startButton = gtk_button_new_with_label(pages.captureEnabled ? "Capture" : "Start");
    exitButton = gtk_button_new_with_label("Exit");
    gtk_widget_set_can_default(startButton, TRUE);
    controls[kStartButton] = startButton;
    controls[kExitButton] = exitButton;
    gtk_box_pack_start(GTK_BOX(buttons), startButton, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(buttons), exitButton, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(outer), buttons, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), outer);
    gtk_window_set_default(GTK_WINDOW(window), startButton);

    applyCaptureEnabling(true);

    g_signal_connect(startButton, "clicked",
                     G_CALLBACK(+[](GtkButton*, gpointer self) { static_cast<Dialog*>(self)->pressStart(); }), this);
    g_signal_connect(exitButton, "clicked",
                     G_CALLBACK(+[](GtkButton*, gpointer self) { static_cast<Dialog*>(self)->pressExit(); }), this);
    g_signal_connect(window, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                       static_cast<Dialog*>(self)->pressExit();
                       return TRUE;
                     }),
                     this);
    g_signal_connect(window, "key-press-event",
                     G_CALLBACK(+[](GtkWidget*, GdkEventKey* key, gpointer self) -> gboolean {
                       auto* d = static_cast<Dialog*>(self);
                       if (key->keyval == GDK_KEY_Escape) {
                         d->pressExit();
                         return TRUE;
                       }
                       if ((key->keyval == GDK_KEY_Return || key->keyval == GDK_KEY_KP_Enter) && d->enterStarts()) {
                         d->pressStart();
                         return TRUE;
                       }
                       return FALSE;  // the focused control takes it
                     }),
                     this);
    g_signal_connect(notebook, "switch-page", G_CALLBACK(+[](GtkNotebook*, GtkWidget*, guint to, gpointer self) {
                       static_cast<Dialog*>(self)->pageSwitching(static_cast<int>(to));
                     }),
                     this);
  }

  // --- behaviour --------------------------------------------------------------------------

  // Enter is Start's unless a push button other than Start, or a list, has the focus: those
  // act on Enter themselves (Exit exits, Browse... browses, a list opens).
  bool enterStarts() {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
    if (!focus || focus == startButton) return true;
    if (gtk_widget_get_ancestor(focus, GTK_TYPE_COMBO_BOX)) return false;
    return !GTK_IS_BUTTON(focus) || GTK_IS_CHECK_BUTTON(focus);
  }

  // Whether the user lets an existing `path` be replaced.
  bool replaceAllowed(GtkWindow* parent, const std::string& path) {
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) return true;
    const size_t slash = path.rfind('/');
    GtkWidget* question = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
                                                 "A file named \"%s\" already exists. Do you want to replace it?",
                                                 path.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
    const bool yes = gtk_dialog_run(GTK_DIALOG(question)) == GTK_RESPONSE_YES;
    gtk_widget_destroy(question);
    return yes;
  }

  int selection(int id) { return gtk_combo_box_get_active(GTK_COMBO_BOX(controls[id])); }
  bool checked(int id) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(controls[id])); }
  void enable(int id, bool on) { gtk_widget_set_sensitive(controls[id], on); }

  void readControls() {
    pages.adapters.selected = selection(kAdapterList);
    pages.modes.selected = selection(kModeList);
    pages.antialiasing.selected = selection(kAntialiasingList);
    pages.anisotropy.selected = selection(kAnisotropyList);
    pages.fullscreen = checked(kFullscreenCheck);
    pages.vsync = checked(kVsyncCheck);
    pages.soundDrivers.selected = selection(kSoundDriverList);
    pages.outputMethods.selected = selection(kOutputMethodList);
    pages.showStats = checked(kShowStatsCheck);
    pages.createLog = checked(kCreateLogCheck);
    pages.captureEnabled = checked(kCaptureCheck);
    pages.videoCodecs.selected = selection(kVideoCodecList);
    pages.frameRates.selected = selection(kFrameRateList);
    pages.audioCodecs.selected = selection(kAudioCodecList);
    pages.outputFile = gtk_entry_get_text(GTK_ENTRY(controls[kOutputFileField]));
  }

  void saveShownPage() {
    readControls();
    if (callbacks.savePage) callbacks.savePage(static_cast<SettingsPage>(shownPage), pages);
  }

  bool selectedCodecConfigurable() {
    const int codec = selection(kVideoCodecList);
    return codec >= 0 && callbacks.codecConfigurable && callbacks.codecConfigurable(codec);
  }

  // The capture controls follow the check box; on opening the audio controls join them.
  void applyCaptureEnabling(bool opening) {
    const bool on = checked(kCaptureCheck);
    for (int id : {kVideoCodecList, kFrameRateLabel, kFrameRateList, kBrowseButton, kOutputFileField}) enable(id, on);
    enable(kCodecSettingsButton, on && selectedCodecConfigurable());
    if (opening || !on) {
      enable(kAudioCodecList, on);
      enable(kAudioSettingsButton, on);
    }
  }

  void adapterChanged() {
    if (filling || !callbacks.modesForAdapter) return;
    pages.modes = callbacks.modesForAdapter(selection(kAdapterList));
    fillCombo(controls[kModeList], pages.modes);
  }

  void captureToggled() {
    const bool on = checked(kCaptureCheck);
    if (callbacks.captureToggled) callbacks.captureToggled(on);
    applyCaptureEnabling(false);
    gtk_button_set_label(GTK_BUTTON(startButton), on ? "Capture" : "Start");
  }

  void codecChanged() {
    if (filling) return;
    enable(kCodecSettingsButton, checked(kCaptureCheck) && selectedCodecConfigurable());
  }

  void browse() {
    GtkWidget* chooser =
        gtk_file_chooser_dialog_new("Capture output file", GTK_WINDOW(window), GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
                                    GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* fc = GTK_FILE_CHOOSER(chooser);
    // The chooser's own question would be about the name as typed, not the file written
    // with ".avi" added: the question is asked below, about that file.
    gtk_file_chooser_set_do_overwrite_confirmation(fc, FALSE);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "Avi file (*.avi)");
    gtk_file_filter_add_pattern(filter, "*.avi");
    gtk_file_chooser_add_filter(fc, filter);
    const std::string current = gtk_entry_get_text(GTK_ENTRY(controls[kOutputFileField]));
    if (!current.empty()) {
      if (current.find('/') != std::string::npos) {
        // The folder must exist, as the path-must-exist rule asks; otherwise start in the
        // working directory with the name alone.
        GFile* file = g_file_new_for_path(current.c_str());
        GFile* parent = g_file_get_parent(file);
        if (parent && g_file_query_exists(parent, nullptr))
          gtk_file_chooser_set_current_folder_file(fc, parent, nullptr);
        if (parent) g_object_unref(parent);
        g_object_unref(file);
      }
      const size_t slash = current.rfind('/');
      gtk_file_chooser_set_current_name(fc, current.substr(slash == std::string::npos ? 0 : slash + 1).c_str());
    }
    while (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
      char* name = gtk_file_chooser_get_filename(fc);
      if (!name) break;
      const std::string path = captureFileFor(name);
      g_free(name);
      if (!replaceAllowed(GTK_WINDOW(chooser), path)) continue;  // back to the chooser
      gtk_entry_set_text(GTK_ENTRY(controls[kOutputFileField]), path.c_str());
      pages.outputFile = path;
      if (callbacks.fileChosen) callbacks.fileChosen(path);
      break;
    }
    gtk_widget_destroy(chooser);
  }

  void pageSwitching(int to) {
    if (to == shownPage || done) return;
    saveShownPage();
    shownPage = to;
  }

  void finish(SettingsResult r) {
    if (done) return;
    done = true;
    result = r;
    gtk_main_quit();
  }

  // --- SettingsDriver ---------------------------------------------------------------------

  void select(int control, int index) override {
    if (controls.count(control)) gtk_combo_box_set_active(GTK_COMBO_BOX(controls[control]), index);
  }
  void check(int control, bool on) override {
    if (controls.count(control)) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(controls[control]), on);
  }
  void setText(int control, const std::string& text) override {
    if (controls.count(control)) gtk_entry_set_text(GTK_ENTRY(controls[control]), text.c_str());
  }
  void showPage(SettingsPage page) override {
    gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), static_cast<int>(page));
  }
  bool isEnabled(int control) override {
    return controls.count(control) && gtk_widget_get_sensitive(controls[control]);
  }
  std::string startLabel() override { return gtk_button_get_label(GTK_BUTTON(startButton)); }
  void pressStart() override {
    if (done) return;
    saveShownPage();
    finish(SettingsResult::Start);
  }
  void pressExit() override { finish(SettingsResult::Exit); }
  void closeWindow() override {
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->any.send_event = TRUE;
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
  void pressKey(SettingsKey key) override {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = key == SettingsKey::Enter ? GDK_KEY_Return : GDK_KEY_Escape;
    if (GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window))) {
      gdk_event_set_device(event, gdk_seat_get_keyboard(seat));
    }
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
  void focus(int control) override {
    if (controls.count(control)) gtk_widget_grab_focus(controls[control]);
  }
  void settle(int milliseconds) override {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < until) {
      while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
      g_usleep(10000);
    }
  }
};

}  // namespace

std::string captureFileFor(const std::string& chosen) {
  const size_t slash = chosen.rfind('/');
  const bool extension = chosen.find('.', slash == std::string::npos ? 0 : slash) != std::string::npos;
  return extension ? chosen : chosen + ".avi";
}

SettingsResult runSettingsDialog(SettingsPages& pages, const SettingsCallbacks& callbacks, int& errorCode) {
  errorCode = 0;
  // Without a session bus GTK's settings store (the file chooser writes to it) cannot be
  // reached and warns on every write; keep its settings in memory for this run instead.
  if (!g_getenv("DBUS_SESSION_BUS_ADDRESS")) g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
  if (!gtk_init_check(nullptr, nullptr)) {
    errorCode = 1;  // no display could be opened
    return SettingsResult::Failed;
  }
  Dialog dialog(pages, callbacks);
  dialog.build();
  gtk_widget_show_all(dialog.window);
  // Take the keyboard at once, so that Enter and Escape work before the first click (also
  // where no window manager hands out the focus).
  gtk_window_present(GTK_WINDOW(dialog.window));
  if (callbacks.onShown) {
    g_idle_add(
        +[](gpointer self) -> gboolean {
          auto* d = static_cast<Dialog*>(self);
          d->settle(50);
          if (!d->done) d->callbacks.onShown(*d);
          return G_SOURCE_REMOVE;
        },
        &dialog);
  }
  gtk_main();
  gtk_widget_destroy(dialog.window);
  // Let the window vanish from the screen before the demo's own window opens.
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  return dialog.result;
}

}  // namespace platform
