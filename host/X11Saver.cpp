#include "host/X11Saver.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "host/WingdriftView.h"
#include "host/Settings.h"
#include "platform/DesktopCapture.h"
#include "platform/DesktopPicture.h"
#include "platform/GLDriverPin.h"
#include "platform/GLDriverPreload.h"
#include "platform/GLXPixelFormat.h"
#include "platform/MonotonicClock.h"
#include "platform/ResourceFolder.h"
#include "platform/RunLoop.h"
#include "platform/ScreenSaverDefaults.h"
#include "platform/X11DesktopSource.h"
#include "platform/X11Window.h"
#include "platform/XRandRScreens.h"
#include "platform/X11Errors.h"
#include "platform/XScreenSaverPrefs.h"
#include "util/StartupTrace.h"

namespace {

constexpr int kDefaultWindowWidth = 1280;  // pixels
constexpr int kDefaultWindowHeight = 720;
constexpr int kPreviewWidth = 400;
constexpr int kPreviewHeight = 300;
constexpr double kMapWaitSeconds = 2.0;
constexpr int kHardwareSamples = 4;  // multisampling on a graphics card, per pixel

int Fail(const std::string& message) {
  std::fprintf(stderr, "wingdrift: %s\n", message.c_str());
  return 1;
}

// The X server went away (it ended, or the connection broke): nothing is
// left to draw on, which for a screen saver is a normal way to end.
int ExitOnLostConnection(Display*) { _exit(0); }

// Where `window` lies on the root window; false when it cannot be asked.
bool AreaOnRoot(Display* display, Window window, ViewRect* area) {
  X11Errors::Install();
  X11Errors::Trap trap(display);
  XWindowAttributes attrs{};
  Window child = 0;
  int x = 0, y = 0;
  const bool ok = XGetWindowAttributes(display, window, &attrs) != 0 &&
                  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y,
                                        &child) != 0;
  if (trap.Sync() != 0 || !ok) return false;
  *area = ViewRect{static_cast<double>(x), static_cast<double>(y),
                   static_cast<double>(attrs.width), static_cast<double>(attrs.height)};
  return true;
}

// The settings as the views will read them.
SETTINGS ViewSettings(const WingdriftHost& host) {
  SETTINGS settings;
  bool mainMonitorOnly = false;
  ScreenSaverDefaults store(kSettingsModuleName);
  LoadSettings(&settings, &mainMonitorOnly, host.resourceFolder.c_str(), store);
  host.overrides.ApplyTo(&settings, &mainMonitorOnly);
  return settings;
}

struct Slot {
  X11Window* window = nullptr;  // owned by the view
  std::unique_ptr<WingdriftView> view;
};

}  // namespace

int RunOnX11(const CommandLine& commandLine) {
  GLDriverPreload driver;
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = std::getenv("DISPLAY");
    return Fail(std::string("cannot open the X display \"") + (name != nullptr ? name : "") +
                "\"; --record renders without one");
  }
  XSetIOErrorHandler(ExitOnLostConnection);
  TraceStart("X display open");
  int status = 0;
  {
    // Before the slow set-up, so that a SIGTERM meanwhile ends the program
    // at the loop's first wait, or within a second if set-up is not done by
    // then (XScreenSaver never reaps a hack that outlives its signal).
    SignalPipe::EndProcessAfterGrace(true);
    RunLoop loop(display);
    XRandRScreens screens(display);
    MonotonicClock clock;
    DesktopPicture desktopPicture;

    // Where the saver draws, and where its desktop picture comes from.
    Window saverWindow = 0;
    const CommandLine::Mode mode = commandLine.mode;
    if (mode == CommandLine::Mode::Root) {
      const char* text = std::getenv("XSCREENSAVER_WINDOW");
      if (text != nullptr && text[0] != '\0') {
        if (!X11Window::ParseWindowId(text, &saverWindow)) {
          XCloseDisplay(display);
          return Fail(std::string("XSCREENSAVER_WINDOW is not a window id: \"") + text + "\"");
        }
      } else {
        saverWindow = DefaultRootWindow(display);
      }
    } else if (mode == CommandLine::Mode::WindowId) {
      saverWindow = commandLine.windowId;
    }
    X11DesktopSource desktop(display, saverWindow);
    // Under XScreenSaver its "Grab desktop images" preference decides, as
    // for its own hacks: a locked screen must not show the desktop when the
    // user said so.
    const bool underXScreenSaver =
        mode == CommandLine::Mode::Root || mode == CommandLine::Mode::WindowId;
    const char* home = std::getenv("HOME");
    const bool mayGrab = !underXScreenSaver ||
                         XScreenSaverPrefs::GrabDesktopImages(home != nullptr ? home : "");

    WingdriftHost host;
    host.clock = &clock;
    host.screens = &screens;
    host.desktop = mayGrab ? &desktop : nullptr;
    if (!mayGrab) {
      host.noDesktopReason =
          "XScreenSaver's \"Grab desktop images\" is off; showing the desktop's picture instead";
    }
    host.desktopPicture = [&desktopPicture, &screens](int screen) {
      const ScreenList list = screens.Screens();
      const std::string name = screen >= 0 && static_cast<size_t>(screen) < list.screens.size()
                                   ? list.screens[static_cast<size_t>(screen)].name
                                   : std::string();
      return desktopPicture.PathForScreen(screen, name);
    };
    host.resourceFolder = ResourceFolder::Path();
    host.showFps = commandLine.fps;
    host.overrides = commandLine.settings;

    // The sizes of the windows we create: they open at the root's top left.
    const bool preview =
        mode == CommandLine::Mode::Preview || mode == CommandLine::Mode::WindowId;
    const int windowWidth = mode == CommandLine::Mode::Preview ? kPreviewWidth
                            : commandLine.width > 0            ? commandLine.width
                                                               : kDefaultWindowWidth;
    const int windowHeight = mode == CommandLine::Mode::Preview ? kPreviewHeight
                             : commandLine.height > 0           ? commandLine.height
                                                                : kDefaultWindowHeight;

    // The desktop is read and scaled for the views while the OpenGL driver
    // loads (the first GLX call below waits for it).
    std::vector<PreparedCapture> prepared;
    const SETTINGS settings = host.desktop != nullptr ? ViewSettings(host) : SETTINGS{};
    if (host.desktop != nullptr && settings.BGTYPE == 0) {
      std::vector<ViewRect> areas;
      ViewRect area;
      switch (mode) {
        case CommandLine::Mode::FullScreen:
          for (const ScreenInfo& s : screens.Screens().screens) {
            areas.push_back(ViewRect{static_cast<double>(s.x), static_cast<double>(s.y),
                                     static_cast<double>(s.width), static_cast<double>(s.height)});
          }
          break;
        case CommandLine::Mode::Window:
        case CommandLine::Mode::Preview:
          areas.push_back(ViewRect{0, 0, static_cast<double>(windowWidth),
                                   static_cast<double>(windowHeight)});
          break;
        case CommandLine::Mode::Root:
        case CommandLine::Mode::WindowId:
          if (AreaOnRoot(display, saverWindow, &area)) areas.push_back(area);
          break;
        default:
          break;
      }
      // As WingdriftView::Detail has it.
      const int detail = preview ? 0 : settings.BGRES;
      for (const ViewRect& a : areas) {
        PreparedCapture capture;
        if (PrepareDesktopCapture(desktop, a, detail, &capture)) {
          prepared.push_back(std::move(capture));
        }
      }
      host.preparedCaptures = &prepared;
    }
    TraceStart("desktop read ahead");
    driver.Wait();
    TraceStart("GL driver loaded");

    // Multisampling is cheap on a graphics card; with software rendering
    // every sample is drawn by the CPU, so there it is off unless asked for.
    const GLXPixelFormat::Renderer renderer =
        GLXPixelFormat::QueryRenderer(display, DefaultScreen(display));
    const int samples =
        commandLine.samples >= 0 ? commandLine.samples : (renderer.software ? 0 : kHardwareSamples);

    std::vector<std::unique_ptr<X11Window>> windows;
    std::string error;
    switch (mode) {
      case CommandLine::Mode::FullScreen:
        for (const ScreenInfo& s : screens.Screens().screens) {
          if (auto w = X11Window::CreateFullScreen(display, s, &error, samples)) {
            windows.push_back(std::move(w));
          }
        }
        break;
      case CommandLine::Mode::Window:
      case CommandLine::Mode::Preview:
        if (auto w = X11Window::CreateWindowed(display, windowWidth, windowHeight, "Wingdrift",
                                               &error, samples)) {
          windows.push_back(std::move(w));
        }
        break;
      case CommandLine::Mode::Root:
      case CommandLine::Mode::WindowId:
        if (auto w = X11Window::Adopt(display, saverWindow, &error)) windows.push_back(std::move(w));
        break;
      default:
        break;
    }
    if (windows.empty()) {
      // The daemon's own window may already be gone when it unblanks at
      // once: nothing to do. A window named on the command line must exist.
      XCloseDisplay(display);
      return mode == CommandLine::Mode::Root
                 ? 0
                 : Fail(error.empty() ? "no monitor to draw on" : error);
    }

    TraceStart("windows created");
    // Every view captures the desktop as it is created, so all are created
    // before any of our windows covers it.
    std::vector<Slot> slots;
    for (std::unique_ptr<X11Window>& w : windows) {
      w->setPresentPath(commandLine.present);
      Slot slot;
      slot.window = w.get();
      const ViewRect frame = w->FrameOnRoot();
      slot.view = std::make_unique<WingdriftView>(frame, preview, std::move(w), host);
      if (!slot.view->viewAllocated) {
        status = Fail("OpenGL cannot draw on the window (no GLX context)");
        break;
      }
      slots.push_back(std::move(slot));
    }
    if (commandLine.fps && !slots.empty()) {
      std::fprintf(stderr, "wingdrift: renderer \"%s\" (%s): %d samples per pixel%s\n",
                   renderer.name.empty() ? "unnamed" : renderer.name.c_str(),
                   renderer.software ? "software" : "hardware", slots.front().view->Samples(),
                   renderer.software && commandLine.samples < 0 ? " (--samples 4 smooths edges)"
                                                                : "");
    }
    windows.clear();
    // What no view took goes (the list itself outlives the views).
    prepared.clear();
    KeepGLDriversLoaded();

    if (status == 0) {
      for (Slot& s : slots) {
        if (mode == CommandLine::Mode::FullScreen) s.window->HidePointer();
        s.window->Map(kMapWaitSeconds);
      }
      TraceStart("windows mapped");
      if (mode == CommandLine::Mode::FullScreen) {
        // Override-redirect windows get no focus: the keys and the pointer
        // come to the saver only through grabs.
        slots.front().window->GrabInput();
        auto quit = [](ScreenSaverView&) { return RunLoop::Action::Quit; };
        loop.hooks.keyPress = [](ScreenSaverView&, unsigned long) { return RunLoop::Action::Quit; };
        loop.hooks.buttonPress = [](ScreenSaverView&, unsigned) { return RunLoop::Action::Quit; };
        loop.hooks.pointerMoved = quit;
      } else if (mode == CommandLine::Mode::Window || mode == CommandLine::Mode::Preview) {
        loop.hooks.keyPress = [](ScreenSaverView&, unsigned long key) {
          return key == XK_q || key == XK_Q || key == XK_Escape ? RunLoop::Action::Quit
                                                                : RunLoop::Action::Continue;
        };
      }
      for (Slot& s : slots) {
        loop.Add(s.view.get(), s.window);
        s.view->startAnimation();
        // The first frame builds the scene and draws it: at once, not a
        // timer interval later.
        if (s.view->isAnimating()) s.view->animateOneFrame();
      }
      // Every way the loop ends is a normal end for a screen saver.
      loop.Run();
      for (Slot& s : slots) s.view->stopAnimation();
    }
    // Views (with their contexts and windows) go before the connection.
    while (!slots.empty()) slots.pop_back();
  }
  XCloseDisplay(display);
  return status;
}
