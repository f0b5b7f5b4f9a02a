#include "host/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/X11Window.h"

namespace {

constexpr int kMaxSide = 16384;         // pixels
constexpr double kMaxSeconds = 3600.0;  // one hour of frames is plenty

bool IsOption(const char* arg) { return arg[0] == '-' && arg[1] != '\0'; }

bool ParseInt(const char* text, int* out) {
  if (text[0] < '0' || text[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < 1 || v > kMaxSide) return false;
  *out = static_cast<int>(v);
  return true;
}

// A whole number from `low` to `high`, nothing else.
bool ParseRange(const char* text, int64_t low, int64_t high, int64_t* out) {
  if ((text[0] < '0' || text[0] > '9') && text[0] != '-') return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
  *out = v;
  return true;
}

enum class Flag { NotOne, Taken, Bad };

// One settings flag at argv[*i] (with its value, if it takes one).
Flag ParseSettingFlag(int argc, const char* const* argv, int* i, SettingsOverrides* out,
                      std::string* error) {
  const std::string arg = argv[*i];
  struct Number {
    const char* name;
    int64_t low, high;
    std::optional<int64_t> SettingsOverrides::*field;
  };
  const Number numbers[] = {
      {"--count", 0, 10, &SettingsOverrides::count},
      {"--butterfly-size", 10, 190, &SettingsOverrides::size},
      {"--speed", 0, SettingsOverrides::kMaxSpeed, &SettingsOverrides::speed},
  };
  const char* value = *i + 1 < argc ? argv[*i + 1] : nullptr;
  auto needValue = [&]() {
    if (value != nullptr) return true;
    *error = "'" + arg + "' needs a value";
    return false;
  };
  for (const Number& n : numbers) {
    if (arg != n.name) continue;
    if (!needValue()) return Flag::Bad;
    int64_t v = 0;
    if (!ParseRange(value, n.low, n.high, &v)) {
      *error = "'" + arg + "' takes a whole number from " + std::to_string(n.low) + " to " +
               std::to_string(n.high) + ", not '" + value + "'";
      return Flag::Bad;
    }
    out->*n.field = v;
    ++*i;
    return Flag::Taken;
  }
  if (arg == "--shadows" || arg == "--no-shadows") {
    out->shadows = arg == "--shadows";
  } else if (arg == "--mix") {
    out->mix = true;
  } else if (arg == "--main-monitor-only") {
    out->mainMonitorOnly = true;
  } else if (arg == "--type") {
    if (!needValue()) return Flag::Bad;
    const std::string file = value;
    if (file.size() <= 5 || file.size() > 1023 || file.find('/') != std::string::npos ||
        file.compare(file.size() - 5, 5, ".bfly") != 0) {
      *error = "'--type' takes the file name of a butterfly type, such as GOT-F.bfly, not '" +
               file + "'";
      return Flag::Bad;
    }
    out->type = file;
    ++*i;
  } else if (arg == "--background") {
    if (!needValue()) return Flag::Bad;
    const char* names[] = {"desktop", "picture", "folder"};
    for (int32_t k = 0; k < 3; ++k) {
      if (std::strcmp(value, names[k]) == 0) out->background = k;
    }
    if (!out->background) {
      *error = std::string("'--background' takes desktop, picture or folder, not '") + value + "'";
      return Flag::Bad;
    }
    ++*i;
  } else if (arg == "--folder") {
    if (!needValue()) return Flag::Bad;
    if (value[0] == '\0' || std::strlen(value) > 1023) {
      *error = "'--folder' takes a folder of pictures";
      return Flag::Bad;
    }
    out->folder = value;
    ++*i;
  } else if (arg == "--detail") {
    if (!needValue()) return Flag::Bad;
    int64_t v = 0;
    if (!ParseRange(value, 0, 2, &v)) {
      *error = std::string("'--detail' takes 0, 1 or 2, not '") + value + "'";
      return Flag::Bad;
    }
    out->detail = static_cast<int32_t>(v);
    ++*i;
  } else {
    return Flag::NotOne;
  }
  return Flag::Taken;
}

}  // namespace

bool CommandLine::ParseSize(const char* text, int* width, int* height) {
  if (text == nullptr) return false;
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) x = std::strchr(text, 'X');
  if (x == nullptr) return false;
  const std::string w(text, static_cast<size_t>(x - text));
  int wv = 0, hv = 0;
  if (!ParseInt(w.c_str(), &wv) || !ParseInt(x + 1, &hv)) return false;
  *width = wv;
  *height = hv;
  return true;
}

bool CommandLine::Parse(int argc, const char* const* argv, std::string* error) {
  bool modeGiven = false;
  bool recordOptions = false;
  auto setMode = [&](Mode m, const char* arg) {
    // XScreenSaver's settings dialog previews a hack by appending
    // "--window-id ID" to its "--root" line: the window id wins.
    if (modeGiven && mode == Mode::Root && m == Mode::WindowId) {
      mode = m;
      return true;
    }
    if (modeGiven && mode == Mode::WindowId && m == Mode::Root) return true;
    if (modeGiven) {
      *error = std::string("'") + arg + "' cannot be combined with another mode";
      return false;
    }
    modeGiven = true;
    mode = m;
    return true;
  };
  auto needValue = [&](int i, const char* arg) {
    if (i + 1 >= argc) {
      *error = std::string("'") + arg + "' needs a value";
      return false;
    }
    return true;
  };

  bool presentGiven = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      if (!setMode(Mode::Help, arg)) return false;
    } else if (std::strcmp(arg, "--version") == 0) {
      if (!setMode(Mode::Version, arg)) return false;
    } else if (std::strcmp(arg, "--fps") == 0 || std::strcmp(arg, "-fps") == 0) {
      fps = true;
    } else if (std::strcmp(arg, "--present") == 0) {
      if (!needValue(i, arg)) return false;
      const std::string value = argv[++i];
      if (value == "auto") {
        present = PresentPath::Auto;
      } else if (value == "age") {
        present = PresentPath::BufferAge;
      } else if (value == "copy") {
        present = PresentPath::CopySubBuffer;
      } else if (value == "full") {
        present = PresentPath::Full;
      } else {
        *error = "'--present' takes auto, age, copy or full, not '" + value + "'";
        return false;
      }
      presentGiven = true;
    } else if (std::strcmp(arg, "--samples") == 0) {
      if (!needValue(i, arg)) return false;
      const char* text = argv[++i];
      if (std::strcmp(text, "0") != 0 && std::strcmp(text, "2") != 0 &&
          std::strcmp(text, "4") != 0 && std::strcmp(text, "8") != 0) {
        *error = std::string("'--samples' takes 0, 2, 4 or 8, not '") + text + "'";
        return false;
      }
      samples = std::atoi(text);
    } else if (std::strcmp(arg, "--window") == 0 || std::strcmp(arg, "-window") == 0) {
      if (!setMode(Mode::Window, arg)) return false;
      if (i + 1 < argc && !IsOption(argv[i + 1])) {
        if (!ParseSize(argv[i + 1], &width, &height)) {
          *error = std::string("'") + arg + "' takes a size such as 1280x720, not '" +
                   argv[i + 1] + "'";
          return false;
        }
        ++i;
      }
    } else if (std::strcmp(arg, "--preview") == 0) {
      if (!setMode(Mode::Preview, arg)) return false;
    } else if (std::strcmp(arg, "--root") == 0 || std::strcmp(arg, "-root") == 0) {
      if (!setMode(Mode::Root, arg)) return false;
    } else if (std::strcmp(arg, "--window-id") == 0 || std::strcmp(arg, "-window-id") == 0) {
      if (!setMode(Mode::WindowId, arg) || !needValue(i, arg)) return false;
      Window id = 0;
      if (!X11Window::ParseWindowId(argv[i + 1], &id)) {
        *error = std::string("'") + argv[i + 1] + "' is not a window id (0x... or decimal)";
        return false;
      }
      windowId = id;
      ++i;
    } else if (std::strcmp(arg, "--record") == 0) {
      if (!setMode(Mode::Record, arg) || !needValue(i, arg)) return false;
      recordPath = argv[++i];
      if (recordPath.empty()) {
        *error = "'--record' needs a file or folder name";
        return false;
      }
    } else if (std::strcmp(arg, "--seconds") == 0 || std::strcmp(arg, "--start") == 0) {
      if (!needValue(i, arg)) return false;
      const bool isStart = arg[3] == 't';
      const char* text = argv[++i];
      char* end = nullptr;
      errno = 0;
      const double s = std::strtod(text, &end);
      if (errno != 0 || end == text || *end != '\0' || !std::isfinite(s) || s < 0 ||
          (s == 0 && !isStart) || s > kMaxSeconds) {
        *error = std::string("'") + arg + "' takes a number of seconds up to 3600, not '" + text +
                 "'";
        return false;
      }
      (isStart ? start : seconds) = s;
      recordOptions = true;
    } else if (std::strcmp(arg, "--size") == 0) {
      if (!needValue(i, arg)) return false;
      if (!ParseSize(argv[i + 1], &width, &height)) {
        *error = std::string("'--size' takes a size such as 1280x720, not '") + argv[i + 1] + "'";
        return false;
      }
      ++i;
      recordOptions = true;
    } else if (std::strcmp(arg, "--seed") == 0) {
      if (!needValue(i, arg)) return false;
      const char* text = argv[++i];
      char* end = nullptr;
      errno = 0;
      const unsigned long long v = std::strtoull(text, &end, 10);
      if (text[0] < '0' || text[0] > '9' || errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) {
        *error = std::string("'--seed' takes a whole number from 0 to 4294967295, not '") + text +
                 "'";
        return false;
      }
      seed = static_cast<unsigned>(v);
      recordOptions = true;
    } else if (const Flag f = ParseSettingFlag(argc, argv, &i, &settings, error);
               f != Flag::NotOne) {
      if (f == Flag::Bad) return false;
    } else {
      *error = std::string("unknown option '") + arg + "' (see wingdrift --help)";
      return false;
    }
  }
  if (presentGiven && mode == Mode::Record) {
    *error = "'--present' goes with a mode that draws on the screen, not with '--record'";
    return false;
  }
  if (settings.mix && settings.type) {
    *error = "'--mix' and '--type' cannot be combined";
    return false;
  }
  if ((fps || samples >= 0) && mode == Mode::Record) {
    *error = std::string("'") + (fps ? "--fps" : "--samples") +
             "' goes with a mode that draws on the screen, not with '--record'";
    return false;
  }
  if (recordOptions && mode != Mode::Record) {
    *error = "'--seconds', '--start', '--size' and '--seed' go with '--record'";
    return false;
  }
  return true;
}

const char* UsageText() {
  return "Usage: wingdrift [MODE] [SETTINGS]\n"
         "Butterflies flying over your desktop: a screen saver.\n"
         "\n"
         "Modes:\n"
         "  (none)                 the screen saver on every monitor; any key, click or\n"
         "                         pointer movement ends it\n"
         "  --window [WxH]         in an ordinary window (q or Escape ends it)\n"
         "  --preview              in a small 400x300 preview window\n"
         "  --root                 for XScreenSaver: draw on $XSCREENSAVER_WINDOW, else on\n"
         "                         the root window\n"
         "  --window-id ID         for XScreenSaver: a preview on window ID (0x... or decimal)\n"
         "  --record OUT           render offscreen without a display, at 60 frames per\n"
         "                         second: OUT.png gets the last frame, OUT.mp4 or OUT.gif a\n"
         "                         clip (needs ffmpeg), any other name a folder of frames\n"
         "     --seconds S        how long (default 5)\n"
         "     --start S          fly S seconds before the first recorded frame\n"
         "                        (default 0: from the start, as the flock flies in)\n"
         "     --size WxH         frame size (default 1280x720)\n"
         "     --seed N           random seed, so that a run can be repeated\n"
         "  --fps                  with a mode that draws on the screen: frames per second\n"
         "                         and CPU load in the bottom left corner\n"
         "  --present HOW          with a mode that draws on the screen: how frames drawn\n"
         "                         in part are shown: auto (default), age\n"
         "                         (GLX_EXT_buffer_age), copy (GLX_MESA_copy_sub_buffer)\n"
         "                         or full (every frame drawn whole)\n"
         "  --samples N            smooth edges with N samples per pixel (0, 2, 4, 8) in the\n"
         "                         windows wingdrift makes; by default 4 with a graphics\n"
         "                         card and none with software rendering, where each\n"
         "                         sample costs CPU (recordings always use 4)\n"
         "  --help, --version\n"
         "\n"
         "Settings, for this run only (the stored settings are left as they are):\n"
         "  --count N              number of butterflies, 0 to 10\n"
         "  --butterfly-size PCT   their size in per cent, 10 to 190\n"
         "  --speed PCT            their speed in per cent, 0 to 400\n"
         "  --shadows, --no-shadows\n"
         "  --mix                  a random type for each butterfly\n"
         "  --type FILE            every butterfly of one type, such as GOT-F.bfly\n"
         "  --background SOURCE    desktop (a picture of your desktop), picture (your\n"
         "                         desktop's picture file) or folder (a random picture\n"
         "                         from the picture folder)\n"
         "  --folder DIR           the picture folder\n"
         "  --detail 0|1|2         background detail: 512, 1024, or the picture's own size\n"
         "  --main-monitor-only    draw on the primary monitor only\n"
         "\n"
         "To use it with XScreenSaver, add this line to the programs in ~/.xscreensaver:\n"
         "  GL: wingdrift --root\n"
         "\n"
         "Settings live in ~/.config/wingdrift/qvWingdrift.plist; change them with\n"
         "wingdrift-settings, a window with a live preview.\n";
}
