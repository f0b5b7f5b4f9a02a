// The configuration sheet of WingdriftView: GTK widgets from "Wingdrift.ui",
// filled from the settings record and stored back on Save.
#include <gtk/gtk.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/GtkFolderPanel.h"
#include "host/Settings.h"
#include "host/WingdriftView.h"
#include "platform/ScreenSaverDefaults.h"
#include "util/CString.h"

namespace {

constexpr const char* kInterfaceFileName = "Wingdrift.ui";
// The guide, relative to the resource folder (share/wingdrift/ installed,
// <build>/data/ in the build tree).
constexpr const char* kGuidePath = "../doc/wingdrift/index.html";

constexpr const char* kBackgroundPanelTitle =
    "Select Folder To Load Random Background Images From";
constexpr const char* kDataFolderPanelTitle = "Select BFly Data Folder";
// The data-folder button's title while no folder is chosen.
constexpr const char* kNoFolder = "(None)";

// Controls' default values (the first-run defaults of the settings).
constexpr int kDefaultMixIndex = 0;
constexpr int kDefaultSize = 70;    // per cent
constexpr int kDefaultSpeed = 75;   // per cent
constexpr int kDefaultCount = 8;
constexpr int kDefaultBGType = 0;
constexpr int kDefaultBGRes = 1;

using Action = void (WingdriftView::*)(GtkWidget*);

template <Action action>
void Handler(GtkWidget* sender, gpointer view) {
  (static_cast<WingdriftView*>(view)->*action)(sender);
}

struct ActionSymbol {
  const char* name;
  GCallback callback;
};

const ActionSymbol kActions[] = {
    {"configureSheet_update", G_CALLBACK(&Handler<&WingdriftView::configureSheet_update>)},
    {"configureSheet_defaults", G_CALLBACK(&Handler<&WingdriftView::configureSheet_defaults>)},
    {"configureSheet_bgpath", G_CALLBACK(&Handler<&WingdriftView::configureSheet_bgpath>)},
    {"configureSheet_directory", G_CALLBACK(&Handler<&WingdriftView::configureSheet_directory>)},
    {"configureSheet_openwebsite",
     G_CALLBACK(&Handler<&WingdriftView::configureSheet_openwebsite>)},
    {"configureSheet_save", G_CALLBACK(&Handler<&WingdriftView::configureSheet_save>)},
    {"configureSheet_cancel", G_CALLBACK(&Handler<&WingdriftView::configureSheet_cancel>)},
    {"configureSheet_checkdownloads",
     G_CALLBACK(&Handler<&WingdriftView::configureSheet_checkdownloads>)},
    {"configureSheet_download", G_CALLBACK(&Handler<&WingdriftView::configureSheet_download>)},
};

void ReleaseSheet(GtkBuilder* builder) {
  if (builder == nullptr) return;
  if (GObject* window = gtk_builder_get_object(builder, "configureSheet")) {
    gtk_widget_destroy(GTK_WIDGET(window));
  }
  g_object_unref(builder);
}

void SetActive(GtkWidget* check, bool on) {
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), on ? TRUE : FALSE);
}
bool IsActive(GtkWidget* check) {
  return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check)) != FALSE;
}

// Selects `index` in a pop-up; an index it does not have selects nothing.
void SelectIndex(GtkWidget* combo, int64_t index) {
  const int count = gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)),
                                                   nullptr);
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo),
                           index >= 0 && index < count ? static_cast<int>(index) : -1);
}
int SelectedIndex(GtkWidget* combo) { return gtk_combo_box_get_active(GTK_COMBO_BOX(combo)); }
// A stored index the pop-up has no item for selects nothing; saving then
// keeps that value rather than storing "no selection".
int32_t IndexOr(GtkWidget* combo, int32_t kept) {
  const int index = SelectedIndex(combo);
  return index >= 0 ? index : kept;
}

// The spin buttons' adjustments bound what the arrows reach; a value typed
// in is set as it is, so that nothing the user entered is limited before it
// is stored (the settings limit it when they are next loaded).
void SetInteger(GtkWidget* spin, int64_t value) {
  GtkAdjustment* adjustment = gtk_spin_button_get_adjustment(GTK_SPIN_BUTTON(spin));
  const double v = static_cast<double>(value);
  if (v < gtk_adjustment_get_lower(adjustment) || v > gtk_adjustment_get_upper(adjustment)) {
    const std::string text = std::to_string(value);
    gtk_entry_set_text(GTK_ENTRY(spin), text.c_str());
  } else {
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), v);
  }
}
// The whole number shown in the field (typed or set); the adjustment's value
// when the text is not one.
int64_t IntegerOf(GtkWidget* spin) {
  const char* text = gtk_entry_get_text(GTK_ENTRY(spin));
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  while (end != nullptr && end != text && *end == ' ') ++end;
  if (errno == 0 && end != text && end != nullptr && *end == '\0') return v;
  return gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(spin));
}

void SetTitle(GtkWidget* button, const char* title) {
  gtk_button_set_label(GTK_BUTTON(button), title);
}
std::string TitleOf(GtkWidget* button) {
  const char* label = gtk_button_get_label(GTK_BUTTON(button));
  return label != nullptr ? label : "";
}

}  // namespace

GtkWidget* WingdriftView::configureSheet() {
  if (!sheetBuilder_) {
    const std::string file = host_.resourceFolder + kInterfaceFileName;
    GtkBuilder* builder = gtk_builder_new();
    for (const ActionSymbol& a : kActions) {
      gtk_builder_add_callback_symbol(builder, a.name, a.callback);
    }
    GError* error = nullptr;
    if (gtk_builder_add_from_file(builder, file.c_str(), &error) == 0) {
      std::fprintf(stderr, "wingdrift: cannot load the settings sheet \"%s\": %s\n", file.c_str(),
                   error != nullptr ? error->message : "unknown error");
      g_clear_error(&error);
      g_object_unref(builder);
      return nullptr;
    }
    struct Outlet {
      const char* id;
      GtkWidget** widget;
      GType type;
    };
    const Outlet outlets[] = {
        {"configureSheet", &configureSheetWindow, GTK_TYPE_WINDOW},
        {"oSave", &oSave, GTK_TYPE_BUTTON},
        {"oMainMonitorOnly", &oMainMonitorOnly, GTK_TYPE_TOGGLE_BUTTON},
        {"oBFlyType", &oBFlyType, GTK_TYPE_COMBO_BOX_TEXT},
        {"oMixBFly", &oMixBFly, GTK_TYPE_COMBO_BOX},
        {"oMaxBFly", &oMaxBFly, GTK_TYPE_SPIN_BUTTON},
        {"oWantShadow", &oWantShadow, GTK_TYPE_TOGGLE_BUTTON},
        {"oBFlySize", &oBFlySize, GTK_TYPE_SPIN_BUTTON},
        {"oFlySpeed", &oFlySpeed, GTK_TYPE_SPIN_BUTTON},
        {"oBGType", &oBGType, GTK_TYPE_COMBO_BOX},
        {"oBGPath", &oBGPath, GTK_TYPE_BUTTON},
        {"oBGRes", &oBGRes, GTK_TYPE_COMBO_BOX},
        {"oDirectory", &oDirectory, GTK_TYPE_BUTTON},
        {"oAvailableDownloads", &oAvailableDownloads, GTK_TYPE_COMBO_BOX_TEXT},
        {"oCheckDownloads", &oCheckDownloads, GTK_TYPE_BUTTON},
        {"oProgress", &oProgress, GTK_TYPE_PROGRESS_BAR},
        {"oDownload", &oDownload, GTK_TYPE_BUTTON},
        {"oDownloadText", &oDownloadText, GTK_TYPE_LABEL},
    };
    for (const Outlet& o : outlets) {
      GObject* object = gtk_builder_get_object(builder, o.id);
      if (object == nullptr || !G_TYPE_CHECK_INSTANCE_TYPE(object, o.type)) {
        std::fprintf(stderr, "wingdrift: the settings sheet \"%s\" has no %s \"%s\"\n",
                     file.c_str(), g_type_name(o.type), o.id);
        ReleaseSheet(builder);
        for (const Outlet& p : outlets) *p.widget = nullptr;
        return nullptr;
      }
      *o.widget = GTK_WIDGET(object);
    }
    gtk_builder_connect_signals(builder, this);
    sheetBuilder_ = std::shared_ptr<GtkBuilder>(builder, ReleaseSheet);
  }

  SetActive(oMainMonitorOnly, MainMonitorOnly);

  // Filling the pop-ups must not run their actions half-way.
  g_signal_handlers_block_matched(oBFlyType, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
  gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(oBFlyType));
  const AQUARIUM* aquarium = ssMain ? ssMain->aquarium.get() : nullptr;
  if (aquarium != nullptr && aquarium->bflyList) {
    for (int32_t i = 0; i < aquarium->numBFlyTypes; ++i) {
      const BFLYINFO& entry = aquarium->bflyList[i];
      const std::string name(entry.name, BoundedLength(entry.name, sizeof entry.name));
      gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(oBFlyType), name.c_str());
    }
    SelectIndex(oBFlyType, aquarium->selectedType);
  }
  g_signal_handlers_unblock_matched(oBFlyType, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);

  SelectIndex(oMixBFly, mySettings.MIXBFLY);
  SetInteger(oBFlySize, mySettings.LBFLYSIZE);
  SetInteger(oFlySpeed, mySettings.LFLYSPEED);
  SetInteger(oMaxBFly, mySettings.MAX_BFLY);
  SetActive(oWantShadow, mySettings.WANTSHADOW);
  SelectIndex(oBGType, chosenBGType_);
  SetTitle(oBGPath, mySettings.BGPath);
  SelectIndex(oBGRes, mySettings.BGRES);
  SetTitle(oDirectory, mySettings.BFlyPath2[0] != '\0' ? mySettings.BFlyPath2 : kNoFolder);
  configureSheet_updatestates();
  return configureSheetWindow;
}

void WingdriftView::configureSheet_updatestates() {
  if (!sheetBuilder_) return;
  gtk_widget_set_sensitive(oBFlyType, SelectedIndex(oMixBFly) == 1);
  gtk_widget_set_sensitive(oBGPath, SelectedIndex(oBGType) == 2);
}

void WingdriftView::configureSheet_update(GtkWidget*) { configureSheet_updatestates(); }

void WingdriftView::configureSheet_defaults(GtkWidget*) {
  if (!sheetBuilder_) return;
  SetActive(oMainMonitorOnly, false);
  SelectIndex(oMixBFly, kDefaultMixIndex);
  SetInteger(oBFlySize, kDefaultSize);
  SetInteger(oFlySpeed, kDefaultSpeed);
  SetInteger(oMaxBFly, kDefaultCount);
  SetActive(oWantShadow, true);
  SelectIndex(oBGType, kDefaultBGType);
  SetTitle(oBGPath, mySettings.BGPath);
  SelectIndex(oBGRes, kDefaultBGRes);
  configureSheet_updatestates();
}

void WingdriftView::configureSheet_bgpath(GtkWidget*) {
  if (!sheetBuilder_) return;
  if (!openPanel) openPanel = std::make_unique<GtkFolderPanel>();
  std::string path;
  if (!openPanel->ChooseFolder(configureSheetWindow, kBackgroundPanelTitle, mySettings.BGPath,
                               &path)) {
    return;
  }
  CopyCString(mySettings.BGPath, path.c_str());
  SetTitle(oBGPath, mySettings.BGPath);
}

void WingdriftView::configureSheet_directory(GtkWidget*) {
  if (!sheetBuilder_) return;
  if (!openPanel) openPanel = std::make_unique<GtkFolderPanel>();
  std::string path;
  if (!openPanel->ChooseFolder(configureSheetWindow, kDataFolderPanelTitle, mySettings.BFlyPath2,
                               &path)) {
    return;
  }
  CopyCString(mySettings.BFlyPath2, path.c_str());
  SetTitle(oDirectory, mySettings.BFlyPath2);
}

std::string WingdriftView::GuideURI() const {
  const std::string path = host_.resourceFolder + kGuidePath;
  gchar* canonical = g_canonicalize_filename(path.c_str(), nullptr);
  gchar* uri = g_filename_to_uri(canonical, nullptr, nullptr);
  std::string result = uri != nullptr ? uri : "";
  g_free(uri);
  g_free(canonical);
  return result;
}

void WingdriftView::configureSheet_openwebsite(GtkWidget*) {
  const std::string uri = GuideURI();
  bool opened = false;
  if (openURI) {
    opened = openURI(uri.c_str());
  } else {
    GError* error = nullptr;
    opened = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error) != FALSE;
    if (!opened) {
      std::fprintf(stderr, "wingdrift: cannot open %s: %s\n", uri.c_str(),
                   error != nullptr ? error->message : "no browser");
    }
    g_clear_error(&error);
  }
  (void)opened;
}

void WingdriftView::configureSheet_save(GtkWidget*) {
  if (!sheetBuilder_) return;
  ScreenSaverDefaults store(kSettingsModuleName);
  MainMonitorOnly = IsActive(oMainMonitorOnly);
  mySettings.LBFLYSIZE = IntegerOf(oBFlySize);
  mySettings.LFLYSPEED = IntegerOf(oFlySpeed);
  mySettings.MAX_BFLY = IntegerOf(oMaxBFly);
  mySettings.MIXBFLY = IndexOr(oMixBFly, mySettings.MIXBFLY);
  mySettings.WANTSHADOW = IsActive(oWantShadow);
  mySettings.BGTYPE = IndexOr(oBGType, chosenBGType_);
  chosenBGType_ = mySettings.BGTYPE;
  mySettings.BGRES = IndexOr(oBGRes, mySettings.BGRES);
  const AQUARIUM* aquarium = ssMain ? ssMain->aquarium.get() : nullptr;
  const int type = SelectedIndex(oBFlyType);
  if (aquarium != nullptr && aquarium->bflyList && type >= 0 && type < aquarium->numBFlyTypes) {
    mySettings.SelectedBFly = type;
    const BFLYINFO& entry = aquarium->bflyList[type];
    CopyCString(mySettings.SelectedBFlyName, entry.fileName, sizeof entry.fileName);
  }
  SETTINGS stored = mySettings;
  CopyCString(stored.BGPath, TitleOf(oBGPath).c_str());
  if (!SaveSettings(stored, MainMonitorOnly, store)) {
    const std::string text = "The settings could not be saved to " + store.path() +
                             ". Nothing was changed there.";
    std::fprintf(stderr, "wingdrift: %s\n", text.c_str());
    GtkWidget* alert = gtk_message_dialog_new(
        GTK_WINDOW(gtk_widget_get_toplevel(oSave)), GTK_DIALOG_DESTROY_WITH_PARENT,
        GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, "%s", text.c_str());
    g_signal_connect(alert, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    gtk_widget_show(alert);
    return;
  }
  if (onSheetEnded) {
    onSheetEnded(true);
  } else {
    gtk_widget_hide(configureSheetWindow);
  }
}

void WingdriftView::configureSheet_cancel(GtkWidget*) {
  if (!sheetBuilder_) return;
  if (onSheetEnded) {
    onSheetEnded(false);
  } else {
    gtk_widget_hide(configureSheetWindow);
  }
}

void WingdriftView::configureSheet_checkdownloads(GtkWidget*) {}

void WingdriftView::configureSheet_download(GtkWidget*) {}
