// The view's logic on the offscreen context: a clock moved by hand, screens
// and a desktop picture of the test's own, the shipped data of the build;
// its configuration sheet's real widgets on a private Xvfb.
#include <GL/gl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/ButterflyFolder.h"
#include "host/Settings.h"
#include "host/WingdriftView.h"
#include "platform/DesktopSource.h"
#include "platform/ManualClock.h"
#include "platform/OffscreenWindow.h"
#include "platform/ScreenSaverDefaults.h"
#include "platform/ScreenSource.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneContent.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"
#include "util/Notice.h"

namespace {

// The display's screens and the picture a capture of it reads.
class FakeDisplay final : public ScreenSource, public DesktopSource {
 public:
  ScreenList Screens() override { return screens; }
  bool Grab(RgbaImage* out) override {
    *out = image;
    return image.width > 0;
  }
  ScreenList screens;
  RgbaImage image;  // 0 pixels wide: the screen cannot be read
};

// The offscreen context at a place of the test's choosing on the "root",
// which the test can make refuse to become current (its window gone, say).
class PlacedWindow final : public ViewWindow {
 public:
  PlacedWindow(ViewRect frame, int* flushes, const bool* refuse)
      : frame_(frame), refuse_(refuse), inner_(&GLTest::Context(), [flushes] { ++*flushes; }) {}
  ViewRect FrameOnRoot() override { return frame_; }
  std::unique_ptr<OpenGLContext> CreateContext() override {
    class Context final : public OpenGLContext {
     public:
      Context(std::unique_ptr<OpenGLContext> inner, const bool* refuse)
          : inner_(std::move(inner)), refuse_(refuse) {}
      bool MakeCurrent() override { return !*refuse_ && inner_->MakeCurrent(); }
      void ReleaseCurrent() override { inner_->ReleaseCurrent(); }
      void FlushBuffer() override { inner_->FlushBuffer(); }

     private:
      std::unique_ptr<OpenGLContext> inner_;
      const bool* refuse_;
    };
    return std::make_unique<Context>(inner_.CreateContext(), refuse_);
  }

 private:
  ViewRect frame_;
  const bool* refuse_;
  OffscreenWindow inner_;
};

class ViewTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (!HaveBuildData()) GTEST_SKIP() << "the build has not generated " << kBuildData;
    host_.clock = &clock_;
    host_.desktop = &display_;
    host_.resourceFolder = kBuildData;
    host_.seed = 7;
    display_.image = {640, 480, std::vector<uint8_t>(640 * 480 * 4, 0x80)};  // grey
    Store();
  }

  // Stores the settings of a first run with two butterflies, `edit` applied.
  void Store(const std::function<void(ScreenSaverDefaults&)>& edit = {}) {
    ASSERT_TRUE(StoreSettings([&](ScreenSaverDefaults& store) {
      store.setInteger(2, "MaxBFly");
      if (edit) edit(store);
    }));
  }

  std::unique_ptr<WingdriftView> MakeView(bool preview = false,
                                          ViewRect frame = {0, 0, kWidth, kHeight}) {
    return std::make_unique<WingdriftView>(
        frame, preview, std::make_unique<PlacedWindow>(frame, &flushes_, &refuse_), host_);
  }
  // Starts `view` and draws its first two frames.
  void Draw(WingdriftView& view) {
    view.startAnimation();
    view.animateOneFrame();
    clock_.now += 1.0 / 60.0;
    view.animateOneFrame();
  }
  // What `run` said on standard error, once per start.
  static std::string Told(const std::function<void()>& run, bool newStart = true) {
    if (newStart) ForgetNotices();
    testing::internal::CaptureStderr();
    run();
    return testing::internal::GetCapturedStderr();
  }
  static bool AllBlack() {
    const std::vector<uint8_t> rgba = Context().ReadPixels();
    for (size_t i = 0; i < rgba.size(); i += 4) {
      if ((rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0) return false;
    }
    return true;
  }

  TempDir config_;
  ScopedEnv configHome_{"XDG_CONFIG_HOME", config_.path().c_str()};
  ScopedEnv dataHome_{"XDG_DATA_HOME", config_.File("data").c_str()};
  ManualClock clock_{0.0};
  FakeDisplay display_;
  WingdriftHost host_;
  int flushes_ = 0;
  bool refuse_ = false;
};

TEST_F(ViewTest, FrameStepRules) {
  // Steps measured from time 0, so that 0.01 is exactly 0.01.
  auto view = MakeView();
  view->startAnimation();
  EXPECT_EQ(flushes_, 1);  // the black start
  view->animateOneFrame();
  ASSERT_TRUE(view->glReady && view->initialized && view->ssMain && view->ssMain->ready);
  EXPECT_EQ(flushes_, 2) << "the first frame builds the scene and shows it at once";
  EXPECT_FALSE(AllBlack());
  EXPECT_EQ(view->ssMain->elapsed, 0.0);
  // The clock (s), the frames flushed, the scene's elapsed time (s).
  const std::tuple<double, int, double, const char*> steps[] = {
      {0.01, 2, 0.0, "a step of exactly 0.01 s is not drawn"},
      {0.0125, 3, 0.0125, "the short step accumulated"},
      {2.5125, 3, 0.0125, "a 2.5 s stall is swallowed"},
      {2.5325, 4, 0.0325, "measured from the stall"}};
  for (const auto& [now, flushes, elapsed, what] : steps) {
    clock_.now = now;
    view->animateOneFrame();
    EXPECT_EQ(flushes_, flushes) << what;
    EXPECT_NEAR(view->ssMain->elapsed, elapsed, 1e-9) << what;
  }
  EXPECT_FALSE(AllBlack());

  // Built late on the clock: the first step after the build is measured
  // from the build.
  flushes_ = 0;
  clock_.now = 5000.0;
  view = MakeView();
  Draw(*view);
  EXPECT_EQ(flushes_, 3);
  EXPECT_NEAR(view->ssMain->elapsed, 1.0 / 60.0, 1e-9);

  // A new size takes effect on the next frame, without a new scene.
  const SSMAIN* scene = view->ssMain.get();
  view->setFrameSize(128, 64);
  clock_.now += 0.02;
  view->animateOneFrame();
  EXPECT_EQ(view->ssMain.get(), scene);
  EXPECT_EQ(view->ssMain->width * 1000 + view->ssMain->height, 128064);
}

TEST_F(ViewTest, FallbacksAreToldOncePerStartAndPicturesKeepTheirShapeUnderTheFrameRate) {
  TempDir pictures, tallFolder, empty, data, packOnly;
  ASSERT_TRUE(WriteTestPicture(pictures.File("desk.png"), 300, 100));
  ASSERT_TRUE(WriteTestPicture(tallFolder.File("tall.png"), kWidth, 2 * kHeight));
  // The build's data without the shipped picture: the resource pack and a type.
  std::filesystem::copy_file(kBuildData + kResourceFileName, packOnly.File(kResourceFileName));
  for (const std::string name : {kResourceFileName, "Monarch.bfly"}) {
    std::filesystem::copy_file(kBuildData + name, data.File(name));
  }
  gint w = 0, h = 0;
  ASSERT_NE(gdk_pixbuf_get_file_info((kBuildData + kFallbackPictureName).c_str(), &w, &h), nullptr);
  const std::string cannot = "wingdrift: cannot show the desktop: ";
  const std::string instead = "; showing the desktop picture instead\n";
  const std::string black = cannot + "the capture came out black" + instead;
  const std::string unread = cannot + "the screen could not be read" + instead;
  const std::string shipped = "; showing \"" + kBuildData + kFallbackPictureName + "\"\n";
  const std::string noShipped = "; the shipped picture \"" + data.File(kFallbackPictureName) +
                                "\" cannot be opened (No such file or directory) too;" +
                                " the background is black\n";
  struct Case {
    const char* what;
    bool grabbed;         // the capture reads a black screen, else nothing
    std::string picture;  // the desktop's picture file
    std::string folder;   // a picture folder chosen instead of the desktop
    std::string data;     // the data folder
    int width, height;    // the background texture; 0: black
    std::string told;
  };
  const std::string noData = data.path() + "/";
  const Case cases[] = {
      {"a black capture: the desktop's picture", true, pictures.File("desk.png"), "", kBuildData,
       300, 100, black},
      {"no capture, a desktop picture that does not load", false, pictures.File("gone.png"), "",
       kBuildData, w, h,
       unread + "wingdrift: the desktop picture \"" + pictures.File("gone.png") +
           "\" cannot be opened (No such file or directory)" + shipped},
      {"every source fails", true, "", "", noData, 0, 0,
       black + "wingdrift: no desktop picture found" + noShipped},
      {"an empty picture folder, no shipped picture", true, "", empty.path(), noData, 0, 0,
       "wingdrift: the picture folder \"" + empty.path() +
           "\" has no .jpg, .jpeg, .gif or .png picture" + noShipped},
      // A scene that cannot be built draws nothing, no background either.
      {"no resource pack", true, "", "", empty.path() + "/", 0, 0,
       black + "wingdrift: cannot load the resource file \"" + empty.File(kResourceFileName) +
           "\"; drawing nothing (reinstall wingdrift)\n"},
      {"no butterfly types", true, "", "", packOnly.path() + "/", 0, 0,
       black + "wingdrift: no butterflies could be set up from \"" + packOnly.path() + "/\" or \"" +
           config_.File("data") +
           "/wingdrift/butterflies\" (No BFly Data Found!); drawing nothing\n"},
      {"a folder of the 1:2 picture", true, "", tallFolder.path(), kBuildData, kWidth, 2 * kHeight,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.showFps = false;
    display_.image = {c.grabbed ? 800 : 0, 600, std::vector<uint8_t>(800 * 600 * 4, 0)};
    host_.desktopPicture = [&c](int) { return c.picture; };
    host_.resourceFolder = c.data;
    Store([&c](ScreenSaverDefaults& store) {
      store.setInteger(0, "MaxBFly");
      if (c.folder.empty()) return;
      store.setInteger(2, "BGType");
      store.setObject(c.folder.c_str(), "BGPath");
    });
    flushes_ = 0;
    std::unique_ptr<WingdriftView> view;
    EXPECT_EQ(Told([&] { Draw(*(view = MakeView())); }), c.told);
    EXPECT_GE(flushes_, 2) << "the frames go on";
    EXPECT_EQ(view->mySettings.BGTYPE, c.folder.empty() ? 1 : 2) << "the record falls back";
    EXPECT_EQ(ScreenSaverDefaults(kSettingsModuleName).integerForKey("BGType"),
              c.folder.empty() ? 0 : 2)
        << "the store keeps the user's choice";
    EXPECT_EQ(view->ssMain->bgTexID, view->DeskTex.texID);
    EXPECT_EQ(view->DeskTex.texID != 0, c.width != 0);
    EXPECT_EQ(view->DeskTex.width * 10000 + view->DeskTex.height,
              uint32_t(c.width * 10000 + c.height));
    EXPECT_EQ(AllBlack(), c.width == 0);
    host_.showFps = true;  // the same frame again, under the frame-rate text
    EXPECT_EQ(Told([&] { Draw(*MakeView()); }, false), "")
        << "said once per start, however many views meet it";
  }
  // The last frame: the 1:2 picture covers the square view, centred (its
  // light top band cut off, not squeezed in), under the frame-rate text's
  // dark panel in the bottom-left corner.
  const std::vector<uint8_t> frame = Context().ReadPixels();
  int r[4];
  FpsOverlay::Bounds(kWidth, kHeight, r);
  const PixelRect panel{r[0], r[1], r[2], r[3]};
  int underPanel = 0, astray = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const auto c = TestPictureColour((x + 0.5) / kWidth, 0.75 - (y + 0.5) / (2 * kHeight));
      const uint8_t* p = &frame[(size_t(y) * kWidth + x) * 4];
      if (std::abs(p[0] - c[0]) + std::abs(p[1] - c[1]) + std::abs(p[2] - c[2]) > 90) {
        ++(panel.Contains(x, y) ? underPanel : astray);
      }
    }
  }
  EXPECT_GT(underPanel, r[2] * r[3] / 2);
  EXPECT_EQ(astray, 0);
}

TEST_F(ViewTest, MainScreenOnly) {
  // Screen 1, to the right, is the primary one.
  display_.screens.screens = {ScreenInfo{0, 0, 0, 1920, 1080, false, "A"},
                              ScreenInfo{1, 1920, 0, 1280, 1024, true, "B"}};
  host_.screens = &display_;
  Store([](ScreenSaverDefaults& store) { store.setBool(true, "MainMonitorOnly"); });
  auto view = MakeView(false, ViewRect{100, 100, kWidth, kHeight});
  view->startAnimation();
  view->animateOneFrame();
  EXPECT_FALSE(view->isAnimating()) << "stops on its first frame";
  EXPECT_FALSE(view->ssMain) << "and never builds a scene";
  EXPECT_TRUE(AllBlack());

  view = MakeView(false, ViewRect{2000, 100, kWidth, kHeight});
  view->startAnimation();
  EXPECT_TRUE(view->ThisScreenIsOn) << "on the main screen";
}

TEST_F(ViewTest, BackgroundTextureIsDeletedOnceAndOnlyInTheViewsContext) {
  auto view = MakeView();
  Draw(*view);
  const unsigned name = view->DeskTex.texID;
  ASSERT_NE(name, 0u);
  view->ssMain->Cleanup();
  EXPECT_TRUE(glIsTexture(name)) << "the scene only refers to the background";
  view.reset();
  EXPECT_FALSE(glIsTexture(name)) << "the view's record deletes it";

  view = MakeView();
  const unsigned kept = view->DeskTex.texID;

  // Its context refuses: whatever context is current (another view's) must
  // keep its objects, so the view deletes nothing and leaves none current.
  refuse_ = true;
  view.reset();
  EXPECT_NE(Told([&] { MakeView(); }).find("cannot show the desktop: OpenGL cannot draw"),
            std::string::npos);
  ASSERT_TRUE(Context().MakeCurrent());
  EXPECT_TRUE(glIsTexture(kept)) << "deleted in a context that was not the view's";
  glDeleteTextures(1, &kept);
}

// Answers folder panels in the user's place and records what they showed.
class AnsweringPanel final : public FolderPanel {
 public:
  bool ChooseFolder(GtkWidget*, const char* title, const char* startFolder,
                    std::string* chosen) override {
    shown.push_back(std::string(title) + " in " + startFolder);
    if (!answer.empty()) *chosen = answer;
    return !answer.empty();
  }
  std::string answer;  // empty: the user cancels
  std::vector<std::string> shown;  // each panel's title and starting folder
};

// The user's actions: GTK emits their signals before it returns.
void Click(GtkWidget* button) { gtk_button_clicked(GTK_BUTTON(button)); }
void Choose(GtkWidget* combo, int index) { gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index); }
void Type(GtkWidget* field, const char* text) { gtk_entry_set_text(GTK_ENTRY(field), text); }

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

// GTK on a private Xvfb, started once per program; false without one.
bool StartGtk() {
  static XvfbServer server;
  static const bool ready = XvfbServer::Available() && server.Start(1024, 768) && [] {
    setenv("DISPLAY", server.name().c_str(), 1);
    // No session bus: the toolkit's settings stay in memory, and no
    // accessibility bridge is looked for.
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    return gtk_init_check(nullptr, nullptr) != FALSE;
  }();
  return ready;
}

// The configuration sheet through its real GTK widgets, driven as the user
// drives it (clicks, typed text, chosen items).
class SheetTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    if (IsSkipped()) return;
    if (!StartGtk()) GTEST_SKIP() << "no Xvfb for GTK";
    // Stored settings of the current version, with a type and a download
    // server of the user's.
    Store([&](ScreenSaverDefaults& store) {
      store.setObject("Stored.bfly", "SelectedBFly");
      store.setObject(kServer, "DownloadServer");
      store.setInteger(2, "BGType");
      store.setObject(pictures_.path().c_str(), "BGPath");
    });
  }
  static std::string StorePath() { return ScreenSaverDefaults::PathForModule(kSettingsModuleName); }

  // A preview view with its sheet loaded; `built`: after the first frame
  // has built the scene.
  std::unique_ptr<WingdriftView> SheetOf(bool built) {
    auto view = MakeView(true);
    view->onSheetEnded = [this](bool saved) { ended_.push_back(saved); };
    if (built) view->animateOneFrame();
    EXPECT_NE(view->configureSheet(), nullptr);
    return view;
  }

  static constexpr const char* kServer = "http://127.0.0.1:1/types";
  TempDir pictures_;
  std::vector<bool> ended_;
};

TEST_F(SheetTest, FoldersDefaultsAndTheGuideThenCancelStoresNothing) {
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
  EXPECT_EQ(panel->shown[0], "Select Folder To Load Random Background Images From in " +
                                pictures_.path());
  EXPECT_EQ(panel->shown[1], "Select BFly Data Folder in " + UserButterflyFolder());

  // The guide built beside the data.
  std::string opened;
  view->openURI = [&opened](const char* uri) {
    opened += uri;
    return true;
  };
  Click(FindById(view->configureSheetWindow, "guide"));
  EXPECT_EQ(opened, "file://" WINGDRIFT_BINARY_DIR "/doc/wingdrift/index.html");

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

  // Without its interface file there is no sheet, and a line says why.
  host_.resourceFolder = pictures_.path() + "/";
  EXPECT_NE(Told([&] {
              EXPECT_EQ(MakeView(true)->configureSheet(), nullptr);
            }).find("cannot load the settings sheet"),
            std::string::npos);
}

TEST_F(SheetTest, SaveStoresExactlyTheControlsValuesOrSaysWhyItCannot) {
  const auto view = SheetOf(true);
  ASSERT_TRUE(view->ssMain && view->ssMain->aquarium);
  const AQUARIUM& aquarium = *view->ssMain->aquarium;
  ASSERT_GE(aquarium.numBFlyTypes, 2);
  ASSERT_EQ(Items(view->oBFlyType), aquarium.numBFlyTypes);
  EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(view->oBFlyType)), aquarium.selectedType);
  // The enabling rules follow the pop-ups at once (ending on both enabled).
  for (const auto& [mix, background] : {std::pair{0, 1}, {1, 0}, {0, 2}, {1, 2}}) {
    Choose(view->oMixBFly, mix);
    Choose(view->oBGType, background);
    EXPECT_EQ(Sensitive(view->oBFlyType), mix == 1) << "mix " << mix;
    EXPECT_EQ(Sensitive(view->oBGPath), background == 2) << "background " << background;
  }
  Choose(view->oBFlyType, 1);
  Type(view->oMaxBFly, "25");  // above the control's range: stored as entered
  Type(view->oBFlySize, "150");
  Type(view->oFlySpeed, "fast");  // not a number: the control's own value
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(view->oWantShadow), FALSE);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(view->oMainMonitorOnly), TRUE);
  Choose(view->oBGRes, 2);
  // A store that cannot be written (its folder is a file): the sheet stays
  // open and says where, and the next save, once it can, goes through.
  const std::string folder = std::filesystem::path(StorePath()).parent_path();
  std::filesystem::rename(folder, folder + ".kept");
  std::ofstream(folder) << "not a folder";
  EXPECT_NE(Told([&] { Click(view->oSave); }).find("could not be saved to " + StorePath()),
            std::string::npos);
  EXPECT_TRUE(ended_.empty());
  std::filesystem::remove(folder);
  std::filesystem::rename(folder + ".kept", folder);
  Click(view->oSave);
  EXPECT_EQ(ended_, std::vector<bool>{true});

  ScreenSaverDefaults store(kSettingsModuleName);
  std::map<std::string, std::string> saved;
  for (const std::string& key : store.keys()) {
    saved[key] = store.stringForKey(key.c_str()).value_or("?");
  }
  const std::map<std::string, std::string> expected = {
      {"version", "1.1"},  {"MainMonitorOnly", "1"}, {"WantShadow", "0"}, {"BFlySize", "150"},
      {"FlySpeed", "75"},  {"MaxBFly", "25"},        {"MixBFly", "1"},    {"BGType", "2"},
      {"BGRes", "2"},      {"BGPath", pictures_.path()}, {"DownloadServer", kServer},
      {"SelectedBFly", aquarium.bflyList[1].fileName}};
  EXPECT_EQ(saved, expected);
}

}  // namespace
