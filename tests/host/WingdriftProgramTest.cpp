// The wingdrift program as a user (and XScreenSaver) runs it: offscreen
// recordings, windows on a private Xvfb, windows handed to it, and the real
// XScreenSaver daemon. Screenshots go to <build>/test-output/ for people to
// look at.
#include <gtest/gtest.h>
// (separate block: GoogleTest before Xlib, whose macros break its headers)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/FrameSink.h"
#include "host/Settings.h"
#include "platform/ScreenSaverDefaults.h"
#include "platform/X11Window.h"
#include "tests/host/ChildProcess.h"
#include "tests/support/PngWriter.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/XvfbServer.h"

namespace {

const std::string kProgram = WINGDRIFT_PROGRAM;

// How soon the program must end once told to: a second, or three in a
// sanitizer build, whose program checks its whole heap for leaks on the way
// out.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kPromptExit = 3.0;  // s
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr double kPromptExit = 3.0;  // s
#else
constexpr double kPromptExit = 1.0;  // s
#endif
#else
constexpr double kPromptExit = 1.0;  // s
#endif

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Decoded pixels of a picture file, RGB rows top first; empty when unreadable.
std::vector<uint8_t> DecodeRgb(const std::string& path, int* width, int* height) {
  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), &error);
  if (error != nullptr) g_error_free(error);
  if (pixbuf == nullptr) return {};
  *width = gdk_pixbuf_get_width(pixbuf);
  *height = gdk_pixbuf_get_height(pixbuf);
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  const guint8* p = gdk_pixbuf_read_pixels(pixbuf);
  std::vector<uint8_t> rgb;
  for (int y = 0; y < *height; ++y) {
    for (int x = 0; x < *width; ++x) {
      const guint8* q = p + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * channels;
      rgb.insert(rgb.end(), q, q + 3);
    }
  }
  g_object_unref(pixbuf);
  return rgb;
}

// A picture of part of the screen: 0xRRGGBB, rows top first.
struct Shot {
  int width = 0;
  int height = 0;
  std::vector<unsigned> pixels;

  unsigned At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Save(const std::string& name) const {
    std::vector<uint8_t> rgba;
    for (int y = height - 1; y >= 0; --y) {
      for (int x = 0; x < width; ++x) {
        const unsigned c = At(x, y);
        rgba.insert(rgba.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                 static_cast<uint8_t>(c), 255});
      }
    }
    WriteFramePng(std::string(WINGDRIFT_BINARY_DIR) + "/test-output/" + name, rgba, width, height);
  }
};

Shot TakeShot(Display* display, Drawable drawable, int x, int y, int width, int height) {
  Shot shot;
  XImage* image = XGetImage(display, drawable, x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return shot;
  shot.width = width;
  shot.height = height;
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      shot.pixels.push_back(static_cast<unsigned>(XGetPixel(image, c, r)) & 0xFFFFFF);
    }
  }
  XDestroyImage(image);
  return shot;
}

bool Near(unsigned a, unsigned b, int tolerance) {
  for (int shift : {16, 8, 0}) {
    const int d = static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255);
    if (std::abs(d) > tolerance) return false;
  }
  return true;
}

// Four quadrants: red top left, green top right, blue bottom left, white
// bottom right.
unsigned Quadrant(double u, double v) {
  if (v < 0.5) return u < 0.5 ? 0xFF0000 : 0x00FF00;
  return u < 0.5 ? 0x0000FF : 0xFFFFFF;
}

// Pixels of `shot` away from the quadrants' borders that do not show the
// quadrant colour: butterflies and their shadows.
int CountOffPicture(const Shot& shot, const std::function<unsigned(double, double)>& picture) {
  int count = 0;
  const int bandX = shot.width / 40 + 2, bandY = shot.height / 40 + 2;
  for (int y = 0; y < shot.height; ++y) {
    if (std::abs(y - shot.height / 2) < bandY) continue;
    for (int x = 0; x < shot.width; ++x) {
      if (std::abs(x - shot.width / 2) < bandX) continue;
      const double u = (x + 0.5) / shot.width, v = (y + 0.5) / shot.height;
      if (!Near(shot.At(x, y), picture(u, v), 80)) ++count;
    }
  }
  return count;
}

// The picture's colour at the centres of its four quadrants.
bool ShowsPicture(const Shot& shot, const std::function<unsigned(double, double)>& picture) {
  for (const auto& [u, v] : {std::pair{0.2, 0.2}, {0.8, 0.2}, {0.2, 0.8}, {0.8, 0.8}}) {
    const int x = static_cast<int>(u * shot.width), y = static_cast<int>(v * shot.height);
    // A butterfly may sit on one point; its neighbourhood tells.
    int matches = 0;
    for (int dy = -6; dy <= 6; dy += 6) {
      for (int dx = -6; dx <= 6; dx += 6) {
        if (Near(shot.At(x + dx, y + dy), picture(u, v), 40)) ++matches;
      }
    }
    if (matches < 5) return false;
  }
  return true;
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

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kProgram)) GTEST_SKIP() << "no program at " << kProgram;
    // A full flock, so butterflies come into view within a few seconds.
    ScopedEnv home("XDG_CONFIG_HOME", config_.path().c_str());
    ScreenSaverDefaults store(kSettingsModuleName);
    SETTINGS settings;
    bool mainOnly = false;
    LoadSettings(&settings, &mainOnly, "", store);
    store.setInteger(10, "MaxBFly");
    ASSERT_TRUE(store.synchronize());
    // XScreenSaver's "Grab desktop images" on: --root and --window-id show
    // the desktop (Debian's system default is off).
    std::ofstream(home_.File(".xscreensaver")) << "grabDesktopImages: True\n";
  }

  ChildProcess::Env Env(const std::string& display = "") const {
    ChildProcess::Env env = {{"XDG_CONFIG_HOME", config_.path()},
                             {"HOME", home_.path()},
                             {"XDG_DATA_HOME", config_.File("data")},
                             {"XSCREENSAVER_WINDOW", std::nullopt}};
    if (display.empty()) {
      env.push_back({"DISPLAY", std::nullopt});
    } else {
      env.push_back({"DISPLAY", display});
    }
    return env;
  }

  TempDir config_;
  TempDir home_;
};

// XScreenSaver's settings page passes settings as flags: they hold for the
// run and never reach the store.
TEST_F(ProgramTest, SettingsFlagsHoldForOneRunOnly) {
  const std::string storePath = config_.File("wingdrift/qvWingdrift.plist");
  std::ifstream before(storePath, std::ios::binary);
  const std::string stored((std::istreambuf_iterator<char>(before)), {});
  ASSERT_FALSE(stored.empty());
  TempDir out;
  ChildProcess p;
  ASSERT_EQ(p.Run({kProgram, "--record", out.File("f.png"), "--seconds", "0.1", "--size", "64x48",
                   "--count", "3", "--type", "Monarch.bfly", "--no-shadows", "--detail", "0"},
                  Env(), 60),
            0)
      << p.Stderr();
  EXPECT_EQ(p.Stdout(), "wingdrift: recorded " + out.File("f.png") + ", 3 butterflies\n");
  std::ifstream after(storePath, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), stored);
}

TEST_F(ProgramTest, HelpVersionAndBadOptions) {
  {
    ChildProcess p;
    EXPECT_EQ(p.Run({kProgram, "--help"}, Env(), 10), 0);
    EXPECT_NE(p.Stdout().find("GL: wingdrift --root"), std::string::npos);
    EXPECT_EQ(p.Stderr(), "");
  }
  {
    ChildProcess p;
    EXPECT_EQ(p.Run({kProgram, "--version"}, Env(), 10), 0);
    EXPECT_EQ(p.Stdout(), "wingdrift " WINGDRIFT_VERSION "\n");
  }
  {
    ChildProcess p;
    EXPECT_EQ(p.Run({kProgram, "--frobnicate"}, Env(), 10), 2);
    EXPECT_EQ(p.Stderr(), "wingdrift: unknown option '--frobnicate' (see wingdrift --help)\n");
    EXPECT_EQ(p.Stdout(), "");
  }
  {
    ChildProcess p;
    EXPECT_EQ(p.Run({kProgram, "--window"}, Env(), 10), 1) << "no display";
    EXPECT_EQ(p.Stderr(),
              "wingdrift: cannot open the X display \"\"; --record renders without one\n");
  }
}

TEST_F(ProgramTest, RecordsPngFolderAndClip) {
  TempDir out;
  {
    ChildProcess p;
    const std::string png = out.File("last.png");
    ASSERT_EQ(p.Run({kProgram, "--record", png, "--seconds", "1", "--size", "320x180"}, Env(), 60),
              0)
        << p.Stderr();
    EXPECT_EQ(p.Stdout(), "wingdrift: recorded " + png + ", 10 butterflies\n");
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = DecodeRgb(png, &w, &h);
    ASSERT_FALSE(rgb.empty());
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 180);
    int bright = 0;
    for (uint8_t c : rgb) bright += c > 40;
    EXPECT_GT(bright, w * h) << "the fallback picture behind the flock, not black";
  }
  {
    // A seeded run repeats exactly; the frames show movement.
    const std::vector<std::string> args = {"--seconds", "1.5", "--size", "160x90", "--seed", "11"};
    std::vector<std::string> runA = {kProgram, "--record", out.File("a")};
    std::vector<std::string> runB = {kProgram, "--record", out.File("b/")};
    runA.insert(runA.end(), args.begin(), args.end());
    runB.insert(runB.end(), args.begin(), args.end());
    ChildProcess a, b;
    ASSERT_EQ(a.Run(runA, Env(), 60), 0) << a.Stderr();
    ASSERT_EQ(b.Run(runB, Env(), 60), 0) << b.Stderr();
    int frames = 0, moved = 0;
    const std::string first = ReadFile(out.File("a/frame-00000.png"));
    for (;; ++frames) {
      char name[32];
      std::snprintf(name, sizeof name, "/frame-%05d.png", frames);
      const std::string fa = ReadFile(out.File("a") + name);
      if (fa.empty()) break;
      int w = 0, h = 0, w2 = 0, h2 = 0;
      EXPECT_EQ(DecodeRgb(out.File("a") + name, &w, &h), DecodeRgb(out.File("b") + name, &w2, &h2))
          << "frame " << frames;
      moved += fa != first;
    }
    EXPECT_EQ(frames, 90);
    EXPECT_GT(moved, 0) << "something moves";
  }
  if (FindOnPath("ffmpeg").empty()) {
    GTEST_SKIP() << "ffmpeg is not installed";
  }
  {
    ChildProcess p;
    const std::string clip = out.File("clip.mp4");
    ASSERT_EQ(p.Run({kProgram, "--record", clip, "--seconds", "0.5", "--size", "161x91"}, Env(),
                    60),
              0)
        << p.Stderr();
    const std::string bytes = ReadFile(clip);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(4, 4), "ftyp");
    ChildProcess probe;
    ASSERT_EQ(probe.Run({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                         "-show_entries", "stream=nb_read_frames,width", "-of", "csv=p=0", clip},
                        {}, 30),
              0);
    EXPECT_EQ(probe.Stdout(), "162,30\n") << "30 frames, padded to an even width";
  }
  {
    ChildProcess p;
    TempDir emptyPath;
    ChildProcess::Env env = Env();
    env.push_back({"PATH", emptyPath.path()});
    EXPECT_EQ(p.Run({kProgram, "--record", out.File("x.gif")}, env, 30), 1);
    EXPECT_NE(p.Stderr().find("needs ffmpeg, which is not installed"), std::string::npos)
        << p.Stderr();
  }
}

// A private Xvfb whose root window shows a known picture.
class XProgramTest : public ProgramTest {
 public:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped()) return;
    if (!XvfbServer::Available()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(server_.Start(screenWidth_, screenHeight_, 24)) << server_.error();
    display_ = XOpenDisplay(server_.name().c_str());
    ASSERT_NE(display_, nullptr);
    const Pixmap background = Paint(screenWidth_, screenHeight_, Quadrant);
    XSetWindowBackgroundPixmap(display_, DefaultRootWindow(display_), background);
    XClearWindow(display_, DefaultRootWindow(display_));
    XFreePixmap(display_, background);
    XSync(display_, False);
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
    server_.Stop();
  }

  // A pixmap showing `picture` (colour at fractions of its size).
  Pixmap Paint(int width, int height, const std::function<unsigned(double, double)>& picture) {
    const int screen = DefaultScreen(display_);
    const Pixmap pixmap = XCreatePixmap(display_, DefaultRootWindow(display_),
                                        static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), 24);
    XImage* image = XCreateImage(display_, DefaultVisual(display_, screen), 24, ZPixmap, 0,
                                 nullptr, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 32, 0);
    image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) *
                                                 static_cast<size_t>(height)));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        XPutPixel(image, x, y, picture((x + 0.5) / width, (y + 0.5) / height));
      }
    }
    GC gc = XCreateGC(display_, pixmap, 0, nullptr);
    XPutImage(display_, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XFreeGC(display_, gc);
    XDestroyImage(image);
    return pixmap;
  }

  // A mapped window of ours for the program to draw on.
  Window MakeWindow(int x, int y, int width, int height) {
    XSetWindowAttributes attrs{};
    attrs.override_redirect = True;
    attrs.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    const Window w = XCreateWindow(display_, DefaultRootWindow(display_), x, y,
                                   static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                   CopyFromParent, InputOutput, CopyFromParent,
                                   CWOverrideRedirect | CWBackPixel, &attrs);
    XMapWindow(display_, w);
    XSync(display_, False);
    return w;
  }

  // The topmost shown window on the root of the given size; 0 when there
  // is none.
  Window ViewableWindow(int width, int height) {
    Window rootReturn = 0, parent = 0, *children = nullptr, found = 0;
    unsigned count = 0;
    XQueryTree(display_, DefaultRootWindow(display_), &rootReturn, &parent, &children, &count);
    for (unsigned i = count; i-- > 0 && found == 0;) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(display_, children[i], &a) && a.map_state == IsViewable &&
          a.width == width && a.height == height) {
        found = children[i];
      }
    }
    if (children != nullptr) XFree(children);
    return found;
  }
  // The full-screen saver's window.
  Window SaverWindow() { return ViewableWindow(kWidth, kHeight); }

  void SendKey(Window window, KeySym key) {
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.display = display_;
    e.xkey.window = window;
    e.xkey.root = DefaultRootWindow(display_);
    e.xkey.keycode = XKeysymToKeycode(display_, key);
    e.xkey.same_screen = True;
    XSendEvent(display_, window, True, KeyPressMask, &e);
    XSync(display_, False);
  }

  Shot ShotOf(int x, int y, int width, int height) {
    return TakeShot(display_, DefaultRootWindow(display_), x, y, width, height);
  }

  // Ends `p` with `signal`: it must go promptly (kPromptExit), with status 0
  // and nothing printed.
  void ExpectQuietExitOn(ChildProcess& p, int signal) {
    const double start = MonotonicSeconds();
    p.Signal(signal);
    ASSERT_TRUE(p.Wait(5.0)) << "still running after signal " << signal;
    EXPECT_LT(MonotonicSeconds() - start, kPromptExit);
    EXPECT_EQ(p.status(), 0);
    EXPECT_EQ(p.Stdout(), "");
    EXPECT_EQ(p.Stderr(), "");
  }

  int screenWidth_ = kWidth;  // pixels
  int screenHeight_ = kHeight;
  XvfbServer server_;
  Display* display_ = nullptr;
};

TEST_F(XProgramTest, WindowShowsTheDesktopTheRightWayUpWithButterflies) {
  ChildProcess p;
  ASSERT_TRUE(p.Start({kProgram, "--window", "320x240"}, Env(server_.name())));
  // No window manager: the window sits at the origin. It shows the whole
  // desktop scaled down.
  Shot shot;
  const bool shown = WaitFor(10, [&] {
    shot = ShotOf(0, 0, 320, 240);
    return ShowsPicture(shot, Quadrant);
  });
  shot.Save("window-first.png");
  ASSERT_TRUE(shown) << "the desktop picture, red top left and blue bottom left; see "
                        "test-output/window-first.png";
  int off = 0;
  const bool flew = WaitFor(8, [&] {
    shot = ShotOf(0, 0, 320, 240);
    off = CountOffPicture(shot, Quadrant);
    return ShowsPicture(shot, Quadrant) && off > 150;
  });
  shot.Save("window-butterflies.png");
  EXPECT_TRUE(flew) << off << " pixels off the picture; see test-output/window-butterflies.png";

  // Window managers tie the window to its program and process.
  const Window window = ViewableWindow(320, 240);
  XClassHint hint{};
  ASSERT_TRUE(XGetClassHint(display_, window, &hint));
  EXPECT_STREQ(hint.res_class, "Wingdrift");
  XFree(hint.res_name);
  XFree(hint.res_class);
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(display_, window, XInternAtom(display_, "_NET_WM_PID", False), 0,
                               1, False, XA_CARDINAL, &type, &format, &items, &after, &data),
            Success);
  ASSERT_EQ(items, 1u);
  EXPECT_EQ(static_cast<pid_t>(*reinterpret_cast<long*>(data)), p.pid());
  XFree(data);
  ExpectQuietExitOn(p, SIGTERM);
}

// Xvfb draws with Mesa's software renderer: no multisampling unless asked
// for, and --fps says which.
TEST_F(XProgramTest, MultisamplingAsTheRendererSuitsOrAsAsked) {
  for (const auto& [extra, said] :
       {std::pair<std::vector<std::string>, std::string>{{}, "(software): 0 samples per pixel "
                                                             "(--samples 4 smooths edges)\n"},
        {{"--samples", "4"}, "(software): 4 samples per pixel\n"}}) {
    std::vector<std::string> argv = {kProgram, "--window", "160x120", "--fps"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    ChildProcess p;
    ASSERT_TRUE(p.Start(argv, Env(server_.name())));
    EXPECT_TRUE(WaitFor(10, [&] { return p.Stderr().find(said) != std::string::npos; }))
        << p.Stderr();
    p.Signal(SIGTERM);
    EXPECT_TRUE(p.Wait(5));
  }
}

TEST_F(XProgramTest, EachMonitorShowsItsOwnDesktop) {
  // Two monitors side by side on the one screen, as `xrandr --setmonitor`
  // makes them; the left one is the primary.
  for (const int x : {0, kWidth / 2}) {
    XRRMonitorInfo* m = XRRAllocateMonitor(display_, 0);
    m->name = XInternAtom(display_, x == 0 ? "LEFT" : "RIGHT", False);
    m->primary = x == 0;
    m->x = x;
    m->width = kWidth / 2;
    m->height = kHeight;
    m->mwidth = 80;
    m->mheight = 240;
    XRRSetMonitor(display_, DefaultRootWindow(display_), m);
    XFree(m);
  }
  XSync(display_, False);
  ChildProcess p;
  ASSERT_TRUE(p.Start({kProgram}, Env(server_.name())));
  auto left = [](double u, double v) { return Quadrant(u / 2, v); };
  auto right = [](double u, double v) { return Quadrant(0.5 + u / 2, v); };
  Shot l, r;
  // Butterflies on the picture: the saver has drawn (its windows show the
  // root until then).
  const bool shown = WaitFor(15, [&] {
    if (ViewableWindow(kWidth / 2, kHeight) == 0) return false;
    l = ShotOf(0, 0, kWidth / 2, kHeight);
    r = ShotOf(kWidth / 2, 0, kWidth / 2, kHeight);
    return ShowsPicture(l, left) && ShowsPicture(r, right) && CountOffPicture(l, left) > 50 &&
           CountOffPicture(r, right) > 50;
  });
  l.Save("monitor-left.png");
  r.Save("monitor-right.png");
  EXPECT_TRUE(shown) << "red over blue on the left, green over white on the right; see "
                        "test-output/monitor-left.png and monitor-right.png";
  ExpectQuietExitOn(p, SIGTERM);
}

TEST_F(XProgramTest, FullScreenEndsOnPointerMotionOrKey) {
  const Window root = DefaultRootWindow(display_);
  XWarpPointer(display_, None, root, 0, 0, 0, 0, 300, 200);
  XSync(display_, False);
  {
    ChildProcess p;
    ASSERT_TRUE(p.Start({kProgram}, Env(server_.name())));
    Shot shot;
    const bool shown = WaitFor(10, [&] {
      shot = ShotOf(0, 0, kWidth, kHeight);
      return SaverWindow() != 0 && ShowsPicture(shot, Quadrant);
    });
    shot.Save("full-screen.png");
    ASSERT_TRUE(shown) << "our window, showing the desktop as it was";
    // The first motion the saver sees only fixes where the pointer was (the
    // few-pixel slop is the run loop's, tested there); Xvfb merges warps
    // that follow each other closely, so keep moving until it ends.
    const double start = MonotonicSeconds();
    for (int i = 0; p.running() && i < 50; ++i) {
      XWarpPointer(display_, None, root, 0, 0, 0, 0, i % 2 == 0 ? 100 : 500, 300);
      XSync(display_, False);
      p.Wait(0.1);
    }
    ASSERT_FALSE(p.running()) << "still running after the pointer moved";
    EXPECT_LT(MonotonicSeconds() - start, 1.0 + kPromptExit);
    EXPECT_EQ(p.status(), 0);
    EXPECT_EQ(p.Stderr(), "");
    EXPECT_TRUE(ShowsPicture(ShotOf(0, 0, kWidth, kHeight), Quadrant)) << "the desktop is back";
  }
  {
    ChildProcess p;
    ASSERT_TRUE(p.Start({kProgram}, Env(server_.name())));
    Window saver = 0;
    ASSERT_TRUE(WaitFor(10, [&] {
      saver = SaverWindow();
      return saver != 0 && ShowsPicture(ShotOf(0, 0, kWidth, kHeight), Quadrant);
    }));
    SendKey(saver, XK_space);
    ASSERT_TRUE(p.Wait(5.0)) << "still running after a key press";
    EXPECT_EQ(p.status(), 0);
  }
}

TEST_F(XProgramTest, RootOnTheSaverWindowShowsItsScreenshotAndEndsWithIt) {
  // The daemon's screenshot differs from what the root shows now.
  auto bands = [](double, double v) { return v < 0.5 ? 0xFFFF00u : 0x00FFFFu; };
  const Window saver = MakeWindow(0, 0, 320, 240);
  const Pixmap screenshot = Paint(kWidth, kHeight, bands);
  const Atom property = XInternAtom(display_, "_SCREENSAVER_SCREENSHOT", False);
  XChangeProperty(display_, saver, property, XA_PIXMAP, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&screenshot), 1);
  XSync(display_, False);
  char id[32];
  std::snprintf(id, sizeof id, "0x%lx", saver);

  ChildProcess p;
  ChildProcess::Env env = Env(server_.name());
  env.push_back({"XSCREENSAVER_WINDOW", id});
  ASSERT_TRUE(p.Start({kProgram, "--root"}, env));
  Shot shot;
  const bool shown = WaitFor(10, [&] {
    shot = ShotOf(0, 0, 320, 240);
    return ShowsPicture(shot, bands);
  });
  shot.Save("root-screenshot.png");
  EXPECT_TRUE(shown) << "yellow over cyan; see test-output/root-screenshot.png";

  const double start = MonotonicSeconds();
  XDestroyWindow(display_, saver);
  XSync(display_, False);
  ASSERT_TRUE(p.Wait(5.0)) << "still running after its window went";
  EXPECT_LT(MonotonicSeconds() - start, kPromptExit);
  EXPECT_EQ(p.status(), 0);
  EXPECT_EQ(p.Stderr(), "");
  XFreePixmap(display_, screenshot);
}

TEST_F(XProgramTest, WindowIdAndRootWindowEndOnSignals) {
  {
    // As XScreenSaver's dialog runs it: its programs line with the
    // preview's window appended.
    const Window preview = MakeWindow(100, 100, 400, 300);
    ChildProcess p;
    ASSERT_TRUE(p.Start({kProgram, "--root", "--window-id", std::to_string(preview)},
                        Env(server_.name())));
    // The preview shows the whole root as it was, its own black area
    // included: test away from that.
    Shot shot;
    const bool shown = WaitFor(10, [&] {
      shot = ShotOf(100, 100, 400, 300);
      return Near(shot.At(10, 10), 0xFF0000, 40) && Near(shot.At(390, 290), 0xFFFFFF, 40);
    });
    shot.Save("window-id.png");
    EXPECT_TRUE(shown) << "see test-output/window-id.png";
    ExpectQuietExitOn(p, SIGTERM);
    XDestroyWindow(display_, preview);
  }
  {
    ChildProcess p;
    EXPECT_EQ(p.Run({kProgram, "-window-id", "0x7ffffff"}, Env(server_.name()), 20), 1);
    EXPECT_EQ(p.Stderr(), "wingdrift: no window 0x7ffffff\n");
  }
  {
    ChildProcess p;
    ASSERT_TRUE(p.Start({kProgram, "--root"}, Env(server_.name())));
    Shot shot;
    const bool flew = WaitFor(10, [&] {
      shot = ShotOf(0, 0, kWidth, kHeight);
      return ShowsPicture(shot, Quadrant) && CountOffPicture(shot, Quadrant) > 150;
    });
    shot.Save("root-window.png");
    EXPECT_TRUE(flew) << "butterflies on the root window; see test-output/root-window.png";
    ExpectQuietExitOn(p, SIGINT);
  }
}

TEST_F(XProgramTest, PreviewEndsOnQAndAnyModeOnALostServer) {
  {
    ChildProcess p;
    ASSERT_TRUE(p.Start({kProgram, "--preview"}, Env(server_.name())));
    Window preview = 0;
    ASSERT_TRUE(WaitFor(10, [&] {
      preview = ViewableWindow(400, 300);
      return preview != 0 && ShowsPicture(ShotOf(0, 0, 400, 300), Quadrant);
    })) << "a 400x300 preview showing the desktop";
    SendKey(preview, XK_q);
    ASSERT_TRUE(p.Wait(5.0)) << "still running after q";
    EXPECT_EQ(p.status(), 0);
    EXPECT_EQ(p.Stderr(), "");
  }
  {
    ChildProcess p;
    ASSERT_TRUE(p.Start({kProgram, "--window", "200x100"}, Env(server_.name())));
    ASSERT_TRUE(WaitFor(10, [&] { return ViewableWindow(200, 100) != 0; }));
    XCloseDisplay(display_);
    display_ = nullptr;
    server_.Stop();
    ASSERT_TRUE(p.Wait(5.0)) << "still running without its X server";
    EXPECT_EQ(p.status(), 0);
    EXPECT_EQ(p.Stderr(), "");
  }
}

// The real daemon: it runs the hack as "wingdrift --root" on its own window
// with the screenshot it took, and ends it when the screen unblanks.
class DaemonTest : public XProgramTest {
 protected:
  static constexpr const char* kUser = "wingdrift-saver";

  void SetUp() override {
    if (FindOnPath("xscreensaver").empty() || FindOnPath("xscreensaver-command").empty()) {
      GTEST_SKIP() << "XScreenSaver is not installed";
    }
    // The daemon will not run hacks as root: as root, run it as an
    // unprivileged user made for it.
    if (geteuid() == 0) {
      if (getpwnam(kUser) == nullptr) {
        ChildProcess add;
        if (add.Run({"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                     kUser},
                    {}, 30) != 0 ||
            getpwnam(kUser) == nullptr) {
          GTEST_SKIP() << "cannot create the user " << kUser;
        }
      }
      ChildProcess check;
      if (check.Run(AsUser({"test", "-x", kProgram}), {}, 30) != 0) {
        GTEST_SKIP() << kUser << " cannot run " << kProgram;
      }
    }
    XProgramTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    if (geteuid() == 0) {
      const passwd* pw = getpwnam(kUser);
      ASSERT_EQ(chown(home_.path().c_str(), pw->pw_uid, pw->pw_gid), 0);
      ASSERT_EQ(chown(config_.path().c_str(), pw->pw_uid, pw->pw_gid), 0);
      for (const auto& entry : std::filesystem::recursive_directory_iterator(config_.path())) {
        ASSERT_EQ(chown(entry.path().c_str(), pw->pw_uid, pw->pw_gid), 0);
      }
    }
  }
  // The user's ~/.xscreensaver: wingdrift alone, no locking or fading, and
  // the given "Grab desktop images" preference.
  void WritePrefs(bool grabDesktopImages) {
    std::ofstream(home_.File(".xscreensaver"))
        << "mode: one\n"
           "selected: 0\n"
           "lock: False\n"
           "fade: False\n"
           "unfade: False\n"
           "splash: False\n"
           "grabDesktopImages: "
        << (grabDesktopImages ? "True" : "False") << "\nprograms: GL: wingdrift --root\n";
    if (geteuid() == 0) {
      const passwd* pw = getpwnam(kUser);
      ASSERT_EQ(chown(home_.File(".xscreensaver").c_str(), pw->pw_uid, pw->pw_gid), 0);
    }
  }
  void StopDaemon() {
    if (daemon_.running()) {
      ChildProcess exit;
      exit.Run(Command({"xscreensaver-command", "-exit"}), {}, 10);
      if (!daemon_.Wait(5)) daemon_.Signal(SIGKILL);
      daemon_.Wait(5);
    }
  }
  void TearDown() override {
    StopDaemon();
    XProgramTest::TearDown();
  }

  std::vector<std::string> AsUser(std::vector<std::string> argv) const {
    if (geteuid() != 0) return argv;
    argv.insert(argv.begin(), {"runuser", "-u", kUser, "--"});
    return argv;
  }
  // `argv` in the daemon's environment, as its user.
  std::vector<std::string> Command(const std::vector<std::string>& argv) const {
    const std::string folder = std::filesystem::path(kProgram).parent_path();
    std::vector<std::string> full = {"env",
                                     "-i",
                                     "HOME=" + home_.path(),
                                     "DISPLAY=" + server_.name(),
                                     "XDG_CONFIG_HOME=" + config_.path(),
                                     "PATH=" + folder + ":/usr/bin:/bin"};
    full.insert(full.end(), argv.begin(), argv.end());
    return AsUser(full);
  }
  // A wingdrift process that XScreenSaver started on our display.
  static std::vector<pid_t> HackProcesses(const std::string& display) {
    std::vector<pid_t> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      const std::string name = entry.path().filename();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      std::string comm = ReadFile(entry.path() / "comm");
      if (comm != "wingdrift\n") continue;
      const std::string environ = ReadFile(entry.path() / "environ");
      // The daemon may add a screen number (":1.0").
      const size_t at = environ.find(std::string("DISPLAY=") + display);
      if (at == std::string::npos) continue;
      const char after = environ[at + 8 + display.size()];
      if (after != '\0' && after != '.') continue;
      if (environ.find("XSCREENSAVER_WINDOW=") == std::string::npos) continue;
      pids.push_back(std::stoi(name));
    }
    return pids;
  }

  ChildProcess daemon_;
};

// The shipped picture, a pale blue sky: blue above red at the quadrants'
// centres, and none of the desktop's colours there.
bool ShowsSky(const Shot& shot) {
  for (const auto& [u, v] : {std::pair{0.2, 0.2}, {0.8, 0.2}, {0.2, 0.8}, {0.8, 0.8}}) {
    const unsigned c = shot.At(static_cast<int>(u * shot.width), static_cast<int>(v * shot.height));
    if (Near(c, Quadrant(u, v), 80) || (c & 255) < ((c >> 16) & 255) + 20) return false;
  }
  return true;
}

TEST_F(DaemonTest, XScreenSaverRunsTheHackAsItsGrabPreferenceSaysAndEndsIt) {
  for (const bool grab : {true, false}) {
    SCOPED_TRACE(grab ? "grabDesktopImages: True" : "grabDesktopImages: False");
    WritePrefs(grab);
    ASSERT_TRUE(daemon_.Start(Command({"xscreensaver", "-no-splash"})));
    ASSERT_TRUE(WaitFor(15, [&] {
      ChildProcess activate;
      return activate.Run(Command({"xscreensaver-command", "-activate"}), {}, 10) == 0;
    })) << daemon_.Stderr();
    std::vector<pid_t> hacks;
    ASSERT_TRUE(WaitFor(15, [&] { return !(hacks = HackProcesses(server_.name())).empty(); }))
        << "no wingdrift process; the daemon said:\n"
        << daemon_.Stderr();
    EXPECT_EQ(hacks.size(), 1u) << "one monitor, one hack";

    // On: the flock over the daemon's screenshot of the desktop. Off: over
    // the desktop's picture (the shipped one here), never the desktop.
    Shot shot;
    const bool drawn = WaitFor(15, [&] {
      shot = ShotOf(0, 0, kWidth, kHeight);
      return grab ? ShowsPicture(shot, Quadrant) && CountOffPicture(shot, Quadrant) > 150
                  : ShowsSky(shot);
    });
    const std::string name = grab ? "xscreensaver-grab.png" : "xscreensaver-nograb.png";
    shot.Save(name);
    EXPECT_TRUE(drawn) << "see test-output/" << name;

    ChildProcess deactivate;
    ASSERT_EQ(deactivate.Run(Command({"xscreensaver-command", "-deactivate"}), {}, 10), 0);
    EXPECT_TRUE(WaitFor(5, [&] { return HackProcesses(server_.name()).empty(); }))
        << "the hack is still running after -deactivate";
    StopDaemon();
    const std::string said = daemon_.Stderr();
    EXPECT_EQ(said.find("\"Grab desktop images\" is off") != std::string::npos, !grab) << said;
  }
}

// XScreenSaver's own settings dialog, as its users open it: its preview
// pane runs the programs line with "--window-id" appended. "mode: one" and
// "selected: 0" make the dialog show wingdrift first; every other hack it
// knows is merged into its list after ours. The dialog needs a screen of
// its own size.
class SettingsDialogTest : public DaemonTest {
 protected:
  SettingsDialogTest() {
    screenWidth_ = 1280;
    screenHeight_ = 900;
  }
};

TEST_F(SettingsDialogTest, PreviewShowsTheFlock) {
  if (FindOnPath("xscreensaver-settings").empty()) {
    GTEST_SKIP() << "xscreensaver-settings is not installed";
  }
  std::ofstream(home_.File(".xscreensaver")) << "mode: one\nselected: 0\n"
                                                "programs: GL: wingdrift --root\n";
  if (geteuid() == 0) {
    const passwd* pw = getpwnam(kUser);
    ASSERT_EQ(chown(home_.File(".xscreensaver").c_str(), pw->pw_uid, pw->pw_gid), 0);
  }
  // Without its daemon the dialog first asks whether to start it.
  ASSERT_TRUE(daemon_.Start(Command({"xscreensaver", "-no-splash"})));
  ChildProcess dialog;
  ASSERT_TRUE(dialog.Start(Command({"xscreensaver-settings"})));

  // The preview: wingdrift on the window XScreenSaver made in its pane.
  Window pane = 0;
  ASSERT_TRUE(WaitFor(30, [&] {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      std::string args = ReadFile(entry.path() / "cmdline");
      std::replace(args.begin(), args.end(), '\0', ' ');
      const size_t at = args.find("wingdrift --root --window-id ");
      if (at != std::string::npos && X11Window::ParseWindowId(
                                         args.substr(at + 29, args.find(' ', at + 29) - at - 29)
                                             .c_str(),
                                         &pane)) {
        return true;
      }
    }
    return false;
  })) << "the dialog never ran \"wingdrift --root --window-id ...\"; it said:\n"
      << dialog.Stderr();

  // Debian's XScreenSaver does not grab the desktop by default: the flock
  // flies over the shipped sky, whose blue is above its red everywhere, so
  // butterflies are the pixels where it is not.
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(display_, pane, &a));
  Shot shot;
  int butterflyPixels = 0;
  const bool flew = WaitFor(20, [&] {
    shot = TakeShot(display_, pane, 0, 0, a.width, a.height);
    butterflyPixels = 0;
    int sky = 0;
    for (unsigned c : shot.pixels) {
      const int r = (c >> 16) & 255, b = c & 255;
      if (b > r + 20) ++sky;
      else if (r >= b) ++butterflyPixels;
    }
    return sky > static_cast<int>(shot.pixels.size()) * 9 / 10 && butterflyPixels > 40;
  });
  TakeShot(display_, DefaultRootWindow(display_), 0, 0, screenWidth_, screenHeight_)
      .Save("xscreensaver-settings.png");
  shot.Save("xscreensaver-settings-preview.png");
  EXPECT_TRUE(flew) << butterflyPixels
                    << " butterfly pixels in the preview; see test-output/xscreensaver-settings*.png";
  dialog.Signal(SIGTERM);
  dialog.Wait(5);
}

}  // namespace
