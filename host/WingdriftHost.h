#pragma once
// The services of the running system that a WingdriftView uses, handed to it
// at creation. The program fills them from X11 and the file system; tests of
// the view's logic fill them with a clock they move by hand, a fixed list of
// screens and a picture of their own.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/SettingsOverrides.h"

class DesktopSource;
struct PreparedCapture;
class FrameClock;
class ScreenSource;

struct WingdriftHost {
  // The frame clock the view measures its steps with. Required.
  FrameClock* clock = nullptr;
  // The display's screens; null: one screen, the main one, holds every view.
  ScreenSource* screens = nullptr;
  // The picture of the main display for the desktop capture; null: nothing
  // to capture (the capture fails as a black one does).
  DesktopSource* desktop = nullptr;
  // Why `desktop` is null on purpose; said once on standard error when a
  // view would have captured the desktop.
  std::string noDesktopReason;
  // Desktop captures read ahead of the views (see PrepareDesktopCapture);
  // a view that finds its own takes it out. Null: none.
  std::vector<PreparedCapture>* preparedCaptures = nullptr;
  // The picture file the desktop shows on a screen (by screen number), as a
  // path; empty when none is known. Unset: none is ever known.
  std::function<std::string(int screenNumber)> desktopPicture;
  // The program's data folder, ending in "/": the shipped butterfly types,
  // the resource pack and the fallback picture.
  std::string resourceFolder;
  // Seeds the random generator in place of the time of day, so that a run
  // can be repeated.
  std::optional<unsigned> seed;
  // Draw the frame-rate overlay over every frame (--fps).
  bool showFps = false;
  // Settings of this run that replace the stored ones (command-line flags);
  // never stored.
  SettingsOverrides overrides;
};

// File names in the resource folder.
inline constexpr const char* kResourceFileName = "qorvane.vessimots";
// The picture shown when neither the desktop nor the chosen folder offers one.
inline constexpr const char* kFallbackPictureName = "Aqua Blue.jpg";
