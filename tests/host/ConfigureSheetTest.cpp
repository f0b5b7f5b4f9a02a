// The configuration sheet through its real GTK widgets on a private Xvfb,
// driven as the user drives it (clicks, typed text, chosen items), with the
// view drawing offscreen and the settings in a store of the test's own.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/ButterflyFolder.h"
#include "host/Settings.h"
#include "host/WingdriftView.h"
#include "platform/ManualClock.h"
#include "platform/OffscreenWindow.h"
#include "platform/ScreenSaverDefaults.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/GLTest.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

namespace {

// Answers folder panels in the user's place and records what they showed.
class AnsweringPanel final : public FolderPanel {
 public:
  bool ChooseFolder(GtkWidget*, const char* title, const char* startFolder,
                    std::string* chosen) override {
    titles.push_back(title);
    starts.push_back(startFolder);
    if (answer.empty()) return false;
    *chosen = answer;
    return true;
  }
  std::string answer;  // empty: the user cancels
  std::vector<std::string> titles;
  std::vector<std::string> starts;
};

void Pump() {
  while (gtk_events_pending()) gtk_main_iteration();
}

void Click(GtkWidget* button) {
  gtk_button_clicked(GTK_BUTTON(button));
  Pump();
}

void Choose(GtkWidget* combo, int index) {
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index);
  Pump();
}

void Type(GtkWidget* field, const char* text) {
  gtk_entry_set_text(GTK_ENTRY(field), text);
  Pump();
}

bool Sensitive(GtkWidget* w) { return gtk_widget_get_sensitive(w) != FALSE; }

int Items(GtkWidget* combo) {
  return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)), nullptr);
}

// A widget of the sheet by its id in the interface file.
GtkWidget* FindById(GtkWidget* root, const char* id) {
  if (g_strcmp0(gtk_buildable_get_name(GTK_BUILDABLE(root)), id) == 0) return root;
  if (!GTK_IS_CONTAINER(root)) return nullptr;
  GtkWidget* found = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(root));
  for (GList* c = children; c != nullptr && found == nullptr; c = c->next) {
    found = FindById(GTK_WIDGET(c->data), id);
  }
  g_list_free(children);
  return found;
}

std::string Title(GtkWidget* button) { return gtk_button_get_label(GTK_BUTTON(button)); }

class ConfigureSheetTest : public GLTest {
 protected:
  static void SetUpTestSuite() {
    if (!XvfbServer::Available()) return;
    server_ = new XvfbServer;
    if (!server_->Start(1024, 768)) return;
    setenv("DISPLAY", server_->name().c_str(), 1);
    // No session bus: the toolkit's settings stay in memory, and no
    // accessibility bridge is looked for.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    gtkReady_ = gtk_init_check(nullptr, nullptr) != FALSE;
  }
  static void TearDownTestSuite() {
    gtkReady_ = false;
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    GLTest::SetUp();
    if (!gtkReady_) GTEST_SKIP() << "no Xvfb for GTK";
    if (!HaveBuildData() || !std::filesystem::exists(kBuildData + "Wingdrift.ui")) {
      GTEST_SKIP() << "the build has not generated its data in " << kBuildData;
    }
    host_.clock = &clock_;
    host_.resourceFolder = kBuildData;
    host_.seed = 3;
    // Stored settings of the current version, with a type of the user's.
    ASSERT_TRUE(StoreSettings([&](ScreenSaverDefaults& store) {
      store.setObject("Stored.bfly", "SelectedBFly");
      store.setInteger(2, "BGType");
      store.setObject(pictures_.path().c_str(), "BGPath");
    }));
  }
  static std::string StorePath() { return ScreenSaverDefaults::PathForModule(kSettingsModuleName); }

  // A preview view with its sheet loaded; `built`: after the first frame
  // has built the scene.
  std::unique_ptr<WingdriftView> SheetOf(bool built) {
    auto view = std::make_unique<WingdriftView>(
        ViewRect{0, 0, kWidth, kHeight}, true, std::make_unique<OffscreenWindow>(&Context(), [] {}),
        host_);
    view->onSheetEnded = [this](bool saved) { ended_.push_back(saved); };
    if (built) view->animateOneFrame();
    EXPECT_NE(view->configureSheet(), nullptr);
    return view;
  }

  static inline XvfbServer* server_ = nullptr;
  static inline bool gtkReady_ = false;
  TempDir config_;
  ScopedEnv configHome_{"XDG_CONFIG_HOME", config_.path().c_str()};
  TempDir pictures_;
  ManualClock clock_{0.0};
  WingdriftHost host_;
  std::vector<bool> ended_;
};

TEST_F(ConfigureSheetTest, FoldersDefaultsAndTheGuideThenCancelStoresNothing) {
  const std::string before = ReadFile(StorePath());
  auto view = SheetOf(false);
  EXPECT_EQ(Items(view->oBFlyType), 0) << "no types before the first frame";
  auto* panel = new AnsweringPanel;
  view->openPanel.reset(panel);
  TempDir chosen;
  for (const std::string& answer : {std::string(), chosen.path()}) {  // cancelled, then confirmed
    panel->answer = answer;
    Click(view->oBGPath);
    Click(view->oDirectory);
    const std::string folder = answer.empty() ? pictures_.path() : answer;
    EXPECT_EQ(Title(view->oBGPath), folder);
    EXPECT_EQ(view->mySettings.BGPath, folder);
    EXPECT_EQ(view->mySettings.BFlyPath2, answer.empty() ? UserButterflyFolder() : answer);
  }
  EXPECT_EQ(Title(view->oDirectory), chosen.path());
  EXPECT_EQ(panel->titles[0], "Select Folder To Load Random Background Images From");
  EXPECT_EQ(panel->titles[1], "Select BFly Data Folder");
  EXPECT_EQ(panel->starts[0], pictures_.path());

  // The guide built beside the data.
  std::vector<std::string> opened;
  view->openURI = [&opened](const char* uri) {
    opened.push_back(uri);
    return true;
  };
  Click(FindById(view->configureSheetWindow, "guide"));
  ASSERT_EQ(opened.size(), 1u);
  g_autofree gchar* path = g_filename_from_uri(opened[0].c_str(), nullptr, nullptr);
  ASSERT_NE(path, nullptr) << opened[0];
  EXPECT_TRUE(std::filesystem::exists(path)) << path;
  EXPECT_EQ(std::filesystem::path(path).filename(), "index.html");

  Type(view->oMaxBFly, "3");
  Click(FindById(view->configureSheetWindow, "defaults"));
  EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(view->oMaxBFly)), "8");
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(view->oBGType)), 0);
  EXPECT_EQ(Title(view->oBGPath), chosen.path()) << "the folder is not reset";
  EXPECT_FALSE(Sensitive(view->oBGPath));
  Click(FindById(view->configureSheetWindow, "cancel"));
  EXPECT_EQ(ended_, std::vector<bool>{false});
  EXPECT_EQ(ReadFile(StorePath()), before);

  // Saved before the first frame: the stored type stays.
  Click(SheetOf(false)->oSave);
  EXPECT_EQ(ended_, (std::vector<bool>{false, true}));
  EXPECT_EQ(ScreenSaverDefaults(kSettingsModuleName).stringForKey("SelectedBFly").value_or(""),
            "Stored.bfly");
}

TEST_F(ConfigureSheetTest, SaveStoresExactlyTheSettingsKeysWithTheControlsValues) {
  auto view = SheetOf(true);
  ASSERT_TRUE(view->ssMain && view->ssMain->aquarium);
  const AQUARIUM& aquarium = *view->ssMain->aquarium;
  ASSERT_GE(aquarium.numBFlyTypes, 2);
  ASSERT_EQ(Items(view->oBFlyType), aquarium.numBFlyTypes);
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(view->oBFlyType)), aquarium.selectedType);
  // The enabling rules follow the pop-ups at once.
  for (const auto& [mix, background] : {std::pair{1, 0}, {0, 2}, {1, 2}, {0, 1}}) {
    Choose(view->oMixBFly, mix);
    Choose(view->oBGType, background);
    EXPECT_EQ(Sensitive(view->oBFlyType), mix == 1) << "mix " << mix;
    EXPECT_EQ(Sensitive(view->oBGPath), background == 2) << "background " << background;
  }

  Choose(view->oMixBFly, 1);
  Choose(view->oBFlyType, 1);
  Type(view->oMaxBFly, "25");  // above the control's range: stored as entered
  Type(view->oBFlySize, "150");
  Type(view->oFlySpeed, "120");
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(view->oWantShadow), FALSE);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(view->oMainMonitorOnly), TRUE);
  Choose(view->oBGType, 2);
  Choose(view->oBGRes, 2);
  Click(view->oSave);

  ScreenSaverDefaults store(kSettingsModuleName);
  std::map<std::string, std::string> saved;
  for (const std::string& key : store.keys()) {
    saved[key] = store.stringForKey(key.c_str()).value_or("?");
  }
  EXPECT_EQ(saved,
            (std::map<std::string, std::string>{{"version", "1.1"},
                                                {"MainMonitorOnly", "1"},
                                                {"WantShadow", "0"},
                                                {"SelectedBFly", aquarium.bflyList[1].fileName},
                                                {"BFlySize", "150"},
                                                {"FlySpeed", "120"},
                                                {"MaxBFly", "25"},
                                                {"MixBFly", "1"},
                                                {"BGType", "2"},
                                                {"BGPath", pictures_.path()},
                                                {"BGRes", "2"}}));
}

}  // namespace
