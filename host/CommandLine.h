#pragma once
// The command line of the wingdrift program.
//
//   wingdrift                     the screen saver on every monitor
//   wingdrift --window [WxH]      one view in an ordinary window
//   wingdrift --preview           one small view (400 x 300) as a preview
//   wingdrift --root              XScreenSaver: draw on $XSCREENSAVER_WINDOW,
//                                 else on the root window
//   wingdrift --window-id ID      XScreenSaver: preview on that window (wins
//                                 over --root, which its dialog puts first)
//   wingdrift --record OUT [--seconds S] [--start S] [--size WxH] [--seed N]
//                                 render offscreen to OUT
//   wingdrift --help | --version
//   --fps with any mode that draws on the screen: the frame-rate overlay
//   --present auto|age|copy|full with any mode that draws on the screen: how
//                                 frames drawn in part are shown (see
//                                 PresentPath; auto unless given)
//   --samples N with --window, --preview or full screen: multisampling
//   Settings for this run only, with any mode (XScreenSaver's settings
//   dialog passes its controls so; never stored): --count N,
//   --butterfly-size PCT, --speed PCT, --shadows | --no-shadows,
//   --mix | --type FILE, --background desktop|picture|folder, --folder DIR,
//   --detail 0|1|2, --main-monitor-only
//
// Window ids are hexadecimal ("0x...") or decimal, as XScreenSaver writes
// them; the single-dash spellings XScreenSaver's hacks take (-root,
// -window, -window-id, -fps) are taken too.
#include <optional>
#include <string>

#include "host/SettingsOverrides.h"
#include "platform/OpenGLContext.h"

struct CommandLine {
  enum class Mode { FullScreen, Window, Preview, Root, WindowId, Record, Help, Version };

  Mode mode = Mode::FullScreen;
  int width = 0;                    // --window or --size, pixels; 0: the mode's default
  int height = 0;
  unsigned long windowId = 0;       // --window-id
  std::string recordPath;           // --record
  double seconds = 5.0;             // --seconds, of scene time
  double start = 0.0;               // --start: scene time flown before recording, s
  std::optional<unsigned> seed;     // --seed
  bool fps = false;                 // --fps: frames per second and CPU load drawn over the scene
  PresentPath present = PresentPath::Auto;  // --present
  int samples = -1;                 // --samples: multisampling per pixel; -1: as the renderer suits
  SettingsOverrides settings;       // settings flags

  // Reads argv[1..argc-1]. False with a one-line reason in `error` (no
  // program name, no newline) for an unknown option, a missing or malformed
  // value, or options that do not go together.
  bool Parse(int argc, const char* const* argv, std::string* error);

  // "WxH" with both sides from 1 to 16384.
  static bool ParseSize(const char* text, int* width, int* height);
};

// The text --help prints.
const char* UsageText();
