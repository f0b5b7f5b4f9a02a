// The wingdrift program as a user (and XScreenSaver) runs it: offscreen
// recordings, windows on a private Xvfb, windows handed to it, and the real
// XScreenSaver daemon and settings dialog. Screenshots go to
// <build>/test-output/ for people to look at.
#include <gtest/gtest.h>
// (separate block: GoogleTest before Xlib, whose macros break its headers)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/FrameSink.h"
#include "tests/host/ChildProcess.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/PngWriter.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/XvfbServer.h"

namespace {

namespace fs = std::filesystem;
const std::string kProgram = WINGDRIFT_PROGRAM;

// How soon the program must end once told to; a sanitizer build checks its
// whole heap for leaks on the way out.
#ifndef __has_feature
#define __has_feature(x) 0
#endif
constexpr double kPromptExit = __has_feature(address_sanitizer) ? 3.0 : 1.0;  // s
// How long a saver may take to show its flock; a sanitizer build draws slower.
constexpr double kShowWithin = __has_feature(address_sanitizer) ? 45.0 : 15.0;  // s

// A picture taken from the screen: RGBA, bottom row first, as PNGs are
// written from.
struct Shot {
  Shot(Display* display, Drawable drawable, int x, int y, int w, int h) {
    XImage* image =
        XGetImage(display, drawable, x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (image == nullptr) return;
    width = w;
    height = h;
    for (int r = h - 1; r >= 0; --r) {
      for (int c = 0; c < w; ++c) {
        const unsigned long p = XGetPixel(image, c, r);
        rgba.insert(rgba.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), 255});
      }
    }
    XDestroyImage(image);
  }
  // 0xRRGGBB; `y` from the top.
  unsigned At(int x, int y) const {
    const uint8_t* p = &rgba[(size_t(height - 1 - y) * width + x) * 4];
    return unsigned(p[0]) << 16 | p[1] << 8 | p[2];
  }
  void Save(const std::string& name) const {
    WriteFramePng(std::string(WINGDRIFT_BINARY_DIR) + "/test-output/" + name, rgba, width, height);
  }

  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

bool Near(unsigned a, unsigned b, int tolerance) {
  for (int shift : {16, 8, 0}) {
    if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > tolerance) return false;
  }
  return true;
}

// One colour (0xRRGGBB) in each quarter: top left, top right, bottom left,
// bottom right.
using Picture = std::array<unsigned, 4>;
constexpr Picture kQuadrants = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

// Whether `shot` shows `picture` the right way up (off it in under a quarter
// of its pixels) with at least `flock` pixels of butterflies and shadows
// off it; a band along the quadrants' borders is left out.
bool Shows(const Shot& shot, const Picture& picture, int flock = 0) {
  int off = 0;
  const int bandX = shot.width / 40 + 2, bandY = shot.height / 40 + 2;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      if (std::abs(y - shot.height / 2) < bandY || std::abs(x - shot.width / 2) < bandX) continue;
      off += !Near(shot.At(x, y), picture[2 * y / shot.height * 2 + 2 * x / shot.width], 80);
    }
  }
  return shot.width > 0 && off >= flock && off < shot.width * shot.height / 4;
}

// The shipped picture, a pale blue sky whose blue is above its red
// everywhere, with butterflies: the pixels where it is not.
bool ShowsSkyFlock(const Shot& shot) {
  int sky = 0, butterflies = 0;
  for (size_t i = 0; i < shot.rgba.size(); i += 4) {
    sky += shot.rgba[i + 2] > shot.rgba[i] + 20;
    butterflies += shot.rgba[i] >= shot.rgba[i + 2];
  }
  return sky > int(shot.rgba.size() / 4) * 9 / 10 && butterflies > 40;
}

// Waits up to `seconds` for `done`, polling every 50 ms.
bool WaitFor(double seconds, const std::function<bool()>& done) {
  const double end = MonotonicSeconds() + seconds;
  while (MonotonicSeconds() < end) {
    if (done()) return true;
    usleep(50000);
  }
  return done();
}

// The program run with its own settings, a full flock (so butterflies come
// into view within a few seconds), and XScreenSaver's "Grab desktop images"
// on (--root and --window-id show the desktop; Debian's system default is
// off); a private Xvfb whose root window shows the quadrants.
class ProgramTest : public ::testing::Test {
 protected:
  explicit ProgramTest(int width = 640, int height = 480) : width_(width), height_(height) {}
  void SetUp() override {
    if (!XvfbServer::Available()) GTEST_SKIP() << "Xvfb is not installed";
    ScopedEnv home("XDG_CONFIG_HOME", config_.path().c_str());
    ASSERT_TRUE(StoreSettings([](ScreenSaverDefaults& store) { store.setInteger(10, "MaxBFly"); }));
    std::ofstream(home_.File(".xscreensaver")) << "grabDesktopImages: True\n";
    ASSERT_TRUE(server_.Start(width_, height_, 24)) << server_.error();
    display_ = XOpenDisplay(server_.name().c_str());
    ASSERT_NE(display_, nullptr);
    root_ = DefaultRootWindow(display_);
    const Pixmap background = Paint(kQuadrants);
    XSetWindowBackgroundPixmap(display_, root_, background);
    XClearWindow(display_, root_);
    XSync(display_, False);
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
    server_.Stop();
  }

  // The program's environment on our display, `extra` applied last.
  ChildProcess::Env Env(const ChildProcess::Env& extra = {}) const {
    ChildProcess::Env env = {{"XDG_CONFIG_HOME", config_.path()},
                             {"HOME", home_.path()},
                             {"XDG_DATA_HOME", config_.File("data")},
                             {"XSCREENSAVER_WINDOW", std::nullopt},
                             {"DISPLAY", server_.name()}};
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
  }

  // A screen-sized pixmap of `picture`.
  Pixmap Paint(const Picture& picture) {
    const Pixmap pixmap = XCreatePixmap(display_, root_, unsigned(width_), unsigned(height_), 24);
    GC gc = XCreateGC(display_, pixmap, 0, nullptr);
    for (int q = 0; q < 4; ++q) {
      const int x = q % 2, y = q / 2;
      XSetForeground(display_, gc, picture[q]);
      XFillRectangle(display_, pixmap, gc, x * width_ / 2, y * height_ / 2, unsigned(width_),
                     unsigned(height_));
    }
    XFreeGC(display_, gc);
    return pixmap;
  }

  // A mapped window of ours for the program to draw on; black, not the
  // desktop, until it draws.
  Window MakeWindow(int x, int y, int width, int height) {
    const Window w = XCreateSimpleWindow(display_, root_, x, y, unsigned(width), unsigned(height),
                                         0, 0, BlackPixel(display_, 0));
    XMapWindow(display_, w);
    XSync(display_, False);
    return w;
  }

  // Presses `key` on the topmost window on the root: the program's, once it
  // has made one.
  void PressKey(KeySym key) {
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, root_, &rootReturn, &parent, &children, &count);
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.window = count > 0 ? children[count - 1] : root_;
    e.xkey.keycode = XKeysymToKeycode(display_, key);
    if (children != nullptr) XFree(children);
    XSendEvent(display_, e.xkey.window, True, KeyPressMask, &e);
    XSync(display_, False);
  }

  // The screen, or its part at `x`, `y` of `width` x `height`.
  Shot Screen(int x = 0, int y = 0, int width = 0, int height = 0) {
    return Shot(display_, root_, x, y, width > 0 ? width : width_, height > 0 ? height : height_);
  }

  // Runs the program with `args` until `shown` holds (the screen is saved
  // as test-output/NAME), then `end` tells it to go: it must, within
  // kPromptExit (plus `slack` seconds), with status 0, having printed
  // nothing but a standard error holding `said`.
  void RunUntil(const std::string& name, std::vector<std::string> args,
                const std::function<bool()>& shown, const std::function<void(ChildProcess&)>& end,
                const ChildProcess::Env& extra = {}, double slack = 0,
                const std::string& said = "") {
    args.insert(args.begin(), kProgram);
    ChildProcess p;
    ASSERT_TRUE(p.Start(args, Env(extra)));
    const bool ok = WaitFor(kShowWithin, shown);
    Screen().Save(name);
    ASSERT_TRUE(ok) << "see test-output/" << name << "; the program said: " << p.Stderr();
    const double start = MonotonicSeconds();
    end(p);
    ASSERT_TRUE(p.Wait(5.0)) << "still running";
    EXPECT_LT(MonotonicSeconds() - start, kPromptExit + slack);
    EXPECT_EQ(p.status(), 0);
    EXPECT_EQ(p.Stdout(), "");
    const std::string err = p.Stderr();
    EXPECT_TRUE(said.empty() ? err.empty() : err.find(said) != std::string::npos) << err;
  }
  static void Term(ChildProcess& p) { p.Signal(SIGTERM); }

  TempDir config_;
  TempDir home_;
  const int width_;  // the screen, pixels
  const int height_;
  XvfbServer server_;
  Display* display_ = nullptr;
  Window root_ = 0;
};

TEST_F(ProgramTest, RecordsPngFolderAndClip) {
  TempDir out;
  auto record = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {kProgram, "--record"});
    ChildProcess p;
    EXPECT_EQ(p.Run(args, Env({{"DISPLAY", std::nullopt}}), 60), 0) << p.Stderr();
    return p.Stdout();
  };
  // XScreenSaver's settings page passes settings as flags: they hold for
  // the run and never reach the store.
  const std::string png = out.File("last.png");
  const std::string stored = ReadFile(config_.File("wingdrift/qvWingdrift.plist"));
  EXPECT_EQ(record({png, "--seconds", "0.1", "--size", "64x48", "--count", "3", "--type",
                    "Monarch.bfly", "--no-shadows", "--detail", "0"}),
            "wingdrift: recorded " + png + ", 3 butterflies\n");
  EXPECT_EQ(ReadFile(png).substr(16, 8), std::string("\0\0\0\x40\0\0\0\x30", 8)) << "64 x 48";
  EXPECT_EQ(ReadFile(config_.File("wingdrift/qvWingdrift.plist")), stored);

  // A seeded run repeats exactly; the frames show movement.
  for (const std::string folder : {"a", "b/"}) {
    record({out.File(folder), "--seconds", "1.5", "--size", "160x90", "--seed", "11"});
  }
  const auto a = Snapshot(out.File("a")), b = Snapshot(out.File("b"));
  EXPECT_TRUE(a == b) << "a seeded run repeats exactly";
  ASSERT_EQ(a.size(), 90u);
  EXPECT_EQ(a.begin()->first, "frame-00000.png");
  EXPECT_NE(a.begin()->second, a.rbegin()->second) << "something moves";

  if (FindOnPath("ffmpeg").empty()) GTEST_SKIP() << "ffmpeg is not installed";
  const std::string clip = out.File("clip.mp4");
  record({clip, "--seconds", "0.5", "--size", "161x91"});
  EXPECT_EQ(ReadFile(clip).substr(4, 4), "ftyp") << "an MP4 clip, though H.264 wants even sides";
}

TEST_F(ProgramTest, AnswersHelpVersionAndWhatItCannotDo) {
  struct Case {
    std::vector<std::string> args;
    ChildProcess::Env env;
    int status;
    std::string said;  // on success within standard output, else all of standard error
  };
  const Case cases[] = {
      {{"--help"}, {}, 0, "GL: wingdrift --root"},
      {{"--version"}, {}, 0, "wingdrift " WINGDRIFT_VERSION "\n"},
      {{"-frobnicate"}, {}, 2, "wingdrift: unknown option '-frobnicate' (see wingdrift --help)\n"},
      {{"--window"}, {{"DISPLAY", std::nullopt}}, 1,
       "wingdrift: cannot open the X display \"\"; --record renders without one\n"},
      {{"--record", "x.gif"}, {{"PATH", "/nonexistent"}}, 1,
       "wingdrift: recording to x.gif needs ffmpeg, which is not installed (Debian: apt-get "
       "install ffmpeg); a .png name or a folder needs nothing more\n"},
      {{"-window-id", "0x7ffffff"}, {}, 1, "wingdrift: no window 0x7ffffff\n"},
      // The daemon's window may be gone by the time the hack starts, when it
      // unblanks at once: nothing to do.
      {{"-root"}, {{"XSCREENSAVER_WINDOW", "0x7ffffff"}}, 0, ""},
      {{"-root"}, {{"XSCREENSAVER_WINDOW", "junk"}}, 1,
       "wingdrift: XSCREENSAVER_WINDOW is not a window id: \"junk\"\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.env.empty() ? "" : " with " + c.env[0].first));
    std::vector<std::string> argv = {kProgram};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ChildProcess p;
    EXPECT_EQ(p.Run(argv, Env(c.env), 20), c.status);
    EXPECT_NE(p.Stdout().find(c.status == 0 ? c.said : ""), std::string::npos) << p.Stdout();
    EXPECT_EQ(p.Stderr(), c.status == 0 ? "" : c.said);
  }
}

TEST_F(ProgramTest, WindowPreviewAndFullScreenShowTheDesktopTheRightWayUpAndEndAsTold) {
  // No window manager: the window sits at the origin, showing the whole
  // desktop scaled down, red top left and blue bottom left. Xvfb draws with
  // Mesa's software renderer: no multisampling unless asked for, and --fps
  // says which.
  RunUntil(
      "window.png", {"--window", "320x240", "--fps"},
      [&] { return Shows(Screen(0, 0, 320, 240), kQuadrants, 150); }, Term, {}, 0,
      "(software): 0 samples per pixel (--samples 4 smooths edges)\n");
  RunUntil(
      "preview.png", {"--preview", "--fps", "--samples", "4"},
      [&] { return Shows(Screen(0, 0, 400, 300), kQuadrants); },
      [&](ChildProcess&) { PressKey(XK_q); }, {}, 0,
      "(software): 4 samples per pixel\n");

  // Full screen on two monitors side by side on the one screen, as `xrandr --setmonitor`
  // makes them; the left one is the primary.
  const int width = width_ / 2;
  for (const int x : {0, width}) {
    XRRMonitorInfo* m = XRRAllocateMonitor(display_, 0);
    m->name = XInternAtom(display_, x == 0 ? "LEFT" : "RIGHT", False);
    m->primary = x == 0;
    m->x = x;
    m->width = width;
    m->height = height_;
    XRRSetMonitor(display_, root_, m);
    XFree(m);
  }
  XWarpPointer(display_, None, root_, 0, 0, 0, 0, 300, 200);
  XSync(display_, False);
  // Butterflies on each half of the picture: the saver has drawn (its
  // windows show the root until then): red over blue on the left, green
  // over white on the right.
  const Picture left = {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF};
  const Picture right = {0x00FF00, 0x00FF00, 0xFFFFFF, 0xFFFFFF};
  auto shown = [&] {
    return Shows(Screen(0, 0, width, height_), left, 50) &&
           Shows(Screen(width, 0, width, height_), right, 50);
  };
  // The first motion only fixes where the pointer was; Xvfb merges warps
  // that follow each other closely, so keep moving until it ends.
  RunUntil(
      "full-screen.png", {}, shown,
      [&](ChildProcess& p) {
        for (int i = 0; p.running() && i < 50; ++i) {
          XWarpPointer(display_, None, root_, 0, 0, 0, 0, i % 2 == 0 ? 100 : 500, 300);
          XSync(display_, False);
          p.Wait(0.1);
        }
      },
      {}, 1.0);
  EXPECT_TRUE(Shows(Screen(), kQuadrants)) << "the desktop is back";
  RunUntil("full-screen.png", {}, shown, [&](ChildProcess&) { PressKey(XK_space); });
}

TEST_F(ProgramTest, RootShowsTheSaverWindowsScreenshotOrTheRootAndEndsAsItsWindowOrServerGoes) {
  // On the daemon's window, with a screenshot that differs from what the
  // root shows now: it ends when its window goes.
  const Picture bands = {0xFFFF00, 0xFFFF00, 0x00FFFF, 0x00FFFF};
  const Window saver = MakeWindow(0, 0, 320, 240);
  const Pixmap screenshot = Paint(bands);
  XChangeProperty(display_, saver, XInternAtom(display_, "_SCREENSAVER_SCREENSHOT", False),
                  XA_PIXMAP, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&screenshot), 1);
  XSync(display_, False);
  RunUntil(
      "root-screenshot.png", {"--root"}, [&] { return Shows(Screen(0, 0, 320, 240), bands); },
      [&](ChildProcess&) {
        XDestroyWindow(display_, saver);
        XSync(display_, False);
      },
      {{"XSCREENSAVER_WINDOW", std::to_string(saver)}});

  // As XScreenSaver's dialog runs it: "--root" with the preview's window
  // appended. The preview shows the whole root as it was, its own black
  // area included: test away from that.
  const Window preview = MakeWindow(100, 100, 400, 300);
  RunUntil(
      "window-id.png", {"--root", "--window-id", std::to_string(preview)},
      [&] {
        const Shot s = Screen(100, 100, 400, 300);
        return Near(s.At(10, 10), 0xFF0000, 40) && Near(s.At(390, 290), 0xFFFFFF, 40);
      },
      Term);
  XDestroyWindow(display_, preview);

  // With XScreenSaver's "Grab desktop images" off: over the desktop's
  // picture (the shipped one here), never the desktop.
  std::ofstream(home_.File(".xscreensaver")) << "grabDesktopImages: False\n";
  RunUntil("root-nograb.png", {"--root"}, [&] { return ShowsSkyFlock(Screen()); }, Term, {}, 0,
           "\"Grab desktop images\" is off; showing the desktop's picture instead\n");
  std::ofstream(home_.File(".xscreensaver")) << "grabDesktopImages: True\n";
  XClearWindow(display_, root_);  // the quadrants again, not its last frame
  XSync(display_, False);
  RunUntil(
      "root-window.png", {"--root"}, [&] { return Shows(Screen(), kQuadrants, 150); },
      [&](ChildProcess&) {
        XCloseDisplay(display_);
        display_ = nullptr;
        server_.Stop();
      });
}


// The real daemon, as an unprivileged user when the test runs as root (the
// daemon runs no hacks as root): it runs the hack as "wingdrift --root" on its
// own window and ends it when the screen unblanks; its dialog's preview runs
// the programs line with "--window-id" appended.
class DaemonTest : public ProgramTest {
 protected:
  static constexpr const char* kUser = "wingdrift-saver";

  // A screen of the settings dialog's size.
  DaemonTest() : ProgramTest(1280, 900) {}

  void SetUp() override {
    for (const char* tool : {"xscreensaver", "xscreensaver-command", "xscreensaver-settings"})
      if (FindOnPath(tool).empty()) GTEST_SKIP() << tool << " is not installed";
    if (geteuid() == 0 && getpwnam(kUser) == nullptr) {
      ChildProcess().Run({"useradd", "--system", kUser}, {}, 30);
      if (getpwnam(kUser) == nullptr) GTEST_SKIP() << "cannot create the user " << kUser;
    }
    if (ChildProcess().Run(Command({"test", "-x", kProgram}), {}, 30) != 0) {
      GTEST_SKIP() << "cannot run " << kProgram;
    }
    ProgramTest::SetUp();
  }
  void TearDown() override {
    StopDaemon();
    ProgramTest::TearDown();
  }

  // Starts the daemon on the user's ~/.xscreensaver (wingdrift alone, no
  // locking or fading); the files are theirs.
  void StartDaemon(const std::string& grabDesktopImages) {
    std::ofstream(home_.File(".xscreensaver"))
        << "mode: one\nselected: 0\nlock: False\nfade: False\nunfade: False\nsplash: False\n"
           "grabDesktopImages: "
        << grabDesktopImages << "\nprograms: GL: wingdrift --root\n";
    if (geteuid() == 0) {
      const std::vector<std::string> chown = {"chown", "-R", kUser, home_.path(), config_.path()};
      ASSERT_EQ(ChildProcess().Run(chown, {}, 30), 0);
    }
    ASSERT_TRUE(daemon_.Start(Command({"xscreensaver", "-no-splash"})));
  }
  void StopDaemon() {
    if (!daemon_.running()) return;
    ChildProcess().Run(Command({"xscreensaver-command", "-exit"}), {}, 10);
    if (!daemon_.Wait(5)) daemon_.Signal(SIGKILL);
    daemon_.Wait(5);
  }
  // Blanks the screen until `shows` holds for it (saved as
  // test-output/NAME), then unblanks it: one hack runs meanwhile.
  void Blank(const std::string& name, const std::function<bool(const Shot&)>& shows) {
    ASSERT_TRUE(WaitFor(15, [&] {
      return ChildProcess().Run(Command({"xscreensaver-command", "-activate"}), {}, 10) == 0;
    })) << daemon_.Stderr();
    std::vector<std::string> hacks;
    ASSERT_TRUE(WaitFor(15, [&] { return !(hacks = Hacks()).empty(); }))
        << "no wingdrift process; the daemon said:\n"
        << daemon_.Stderr();
    EXPECT_EQ(hacks.size(), 1u) << "one monitor, one hack";
    Shot shot = Screen();
    EXPECT_TRUE(WaitFor(kShowWithin, [&] { return shows(shot = Screen()); }))
        << "see test-output/" << name;
    shot.Save(name);
    ASSERT_EQ(ChildProcess().Run(Command({"xscreensaver-command", "-deactivate"}), {}, 10), 0);
    EXPECT_TRUE(WaitFor(5, [&] { return Hacks().empty(); })) << "still running after -deactivate";
  }

  // `argv` in the daemon's environment, as its user.
  std::vector<std::string> Command(const std::vector<std::string>& argv) const {
    std::vector<std::string> full = {
        "env", "-i", "HOME=" + home_.path(), "DISPLAY=" + server_.name(),
        "XDG_CONFIG_HOME=" + config_.path(),
        "PATH=" + fs::path(kProgram).parent_path().string() + ":/usr/bin:/bin"};
    full.insert(full.end(), argv.begin(), argv.end());
    if (geteuid() == 0) full.insert(full.begin(), {"runuser", "-u", kUser, "--"});
    return full;
  }
  // The command lines of the wingdrift processes on our display (to which
  // the daemon may add a screen number, ":1.0").
  std::vector<std::string> Hacks() const {
    std::vector<std::string> found;
    const std::string display = std::string(1, '\0') + "DISPLAY=" + server_.name();
    for (const auto& entry : fs::directory_iterator("/proc")) {
      const std::string environ = '\0' + ReadFile(entry.path() / "environ");
      const size_t at = environ.find(display);
      if (ReadFile(entry.path() / "comm") == "wingdrift\n" && at != std::string::npos &&
          !std::isdigit(environ[at + display.size()])) {
        std::string args = ReadFile(entry.path() / "cmdline");
        std::replace(args.begin(), args.end(), '\0', ' ');
        found.push_back(args);
      }
    }
    return found;
  }

  ChildProcess daemon_;
};

// Its settings dialog ("mode: one" and "selected: 0" show wingdrift first;
// without its daemon the dialog would first ask whether to start it)
// previews the hack as the daemon runs it.
TEST_F(DaemonTest, XScreenSaverAndItsDialogRunTheHackAsTheGrabPreferenceSays) {
  // Off: the flock over the desktop's picture (the shipped one here), never
  // the desktop.
  StartDaemon("False");
  Blank("xscreensaver-nograb.png", ShowsSkyFlock);
  ChildProcess dialog;
  ASSERT_TRUE(dialog.Start(Command({"xscreensaver-settings"})));
  Window pane = 0;
  const std::string line = "wingdrift --root --window-id ";
  auto previewing = [&] {
    for (const std::string& args : Hacks()) {
      const size_t at = args.find(line);
      if (at != std::string::npos) pane = std::strtoul(&args[at + line.size()], nullptr, 0);
    }
    return pane != 0;
  };
  ASSERT_TRUE(WaitFor(60, previewing)) << "the dialog never ran \"" << line << "...\"; it said:\n"
                                       << dialog.Stderr();
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(display_, pane, &a));
  const bool flew =
      WaitFor(60, [&] { return ShowsSkyFlock(Shot(display_, pane, 0, 0, a.width, a.height)); });
  Screen().Save("xscreensaver-settings.png");
  EXPECT_TRUE(flew) << "see test-output/xscreensaver-settings.png";
  dialog.Signal(SIGTERM);
  dialog.Wait(5);
  StopDaemon();

  // On: the flock over the daemon's screenshot of the desktop.
  StartDaemon("True");
  Blank("xscreensaver-grab.png", [](const Shot& shot) { return Shows(shot, kQuadrants, 150); });
}

}  // namespace
