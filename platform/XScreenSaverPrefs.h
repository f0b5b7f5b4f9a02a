#pragma once
// The XScreenSaver preferences that its hacks honour, read as its daemon and
// dialog read them: the user's ~/.xscreensaver first ("name:<tab>value"
// lines), then the system's app-defaults file ("*name:<tab>value").
#include <optional>
#include <string>

class XScreenSaverPrefs {
 public:
  // Debian's system-wide defaults for XScreenSaver.
  static constexpr const char* kAppDefaults = "/etc/X11/app-defaults/XScreenSaver";

  // "Grab desktop images": whether hacks may show the desktop. `home` is the
  // user's home folder. True when neither file says (the daemon's built-in
  // default).
  static bool GrabDesktopImages(const std::string& home,
                                const std::string& appDefaults = kAppDefaults);

  // The boolean resource `name` in the resource file at `path` (either
  // form above; True/False, Yes/No, On/Off, 1/0 in any case); nothing when
  // the file or the line is missing or its value is not a boolean.
  static std::optional<bool> ReadBool(const std::string& path, const std::string& name);
};
