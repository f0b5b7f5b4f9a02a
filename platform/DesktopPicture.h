#pragma once
// The picture file the user's desktop shows (the stand-in for the host's
// per-screen desktop picture):
//  - GNOME: GSettings "org.gnome.desktop.background" "picture-uri", or its
//    "picture-uri-dark" twin when "org.gnome.desktop.interface"
//    "color-scheme" is "prefer-dark";
//  - Cinnamon: "org.cinnamon.desktop.background" "picture-uri";
//  - MATE: "org.mate.background" "picture-filename";
//    (a value naming an XML slideshow gives the slideshow's current picture)
//  - KDE Plasma, Xfce, LXQt: their configuration files (DesktopConfigFiles);
//  - feh's ~/.fehbg or nitrogen's bg-saved.cfg, for window managers without
//    a desktop of their own.
// The desktop named by XDG_CURRENT_DESKTOP is asked first, then the others in
// the order above, as the settings of several desktops are often there
// together and only the running one holds the user's choice. Schemas and keys
// are looked up before use, so a desktop that is not installed is skipped.
// Files are read from $XDG_CONFIG_HOME and $HOME at each call.
#include <string>
#include <utility>

class DesktopPicture {
 public:
  // The user's settings: the installed schemas and the default backend.
  DesktopPicture() = default;
  // Schemas compiled in `schemaDir` (gschemas.compiled) and values from the
  // GSettings key file `keyFile` (groups named by schema path, such as
  // [org/gnome/desktop/background]), for tests and tools.
  DesktopPicture(std::string schemaDir, std::string keyFile)
      : schemaDir_(std::move(schemaDir)), keyFile_(std::move(keyFile)) {}

  // The local file the desktop shows on screen `screenNumber`, as a path;
  // empty when no known desktop names one. `currentDesktop` is the value of
  // XDG_CURRENT_DESKTOP (colon-separated names; null for none).
  // `monitorName` is the screen's XRandR output name, where a desktop keeps
  // a picture per output (Xfce); may be empty.
  std::string PathForScreen(int screenNumber, const char* currentDesktop,
                            const std::string& monitorName = {}) const;
  // The same with XDG_CURRENT_DESKTOP from the environment.
  std::string PathForScreen(int screenNumber, const std::string& monitorName = {}) const;

  // A "file:" URI as a path, percent escapes decoded; an absolute path as it
  // is; empty for anything else (other schemes, malformed URIs).
  static std::string PathFromUri(const std::string& uri);

 private:
  std::string schemaDir_;  // empty: the installed schemas
  std::string keyFile_;    // empty: the default backend
};
