#pragma once
// The desktop picture as the configuration files of desktops without
// GSettings name it, and GNOME's XML slideshows. Each reader takes the
// folders to look in and returns a local path, or empty when the file is
// missing, unreadable or names no picture. Files are opened as regular files
// only and read whole up to a size far beyond any real one.
#include <ctime>
#include <string>

struct DesktopFolders {
  std::string config;  // $XDG_CONFIG_HOME, else <home>/.config
  std::string home;    // $HOME

  // From the environment at the time of the call.
  static DesktopFolders FromEnvironment();
};

// KDE Plasma: <config>/plasma-org.kde.plasma.desktop-appletsrc, the
// "Image" of the org.kde.image wallpaper of the desktop containment whose
// "lastScreen" is `screenNumber` (else the first that has one). An image
// folder (a wallpaper package) gives its largest contents/images/ picture.
std::string KdePicture(const DesktopFolders& folders, int screenNumber);
// Xfce: xfconf's <config>/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml,
// /backdrop/screen0/monitor<name>/workspace0/last-image (or image-path of
// older versions), for the monitor named `monitorName` (XRandR's output
// name), else the `screenNumber`-th monitor listed, else the first.
std::string XfcePicture(const DesktopFolders& folders, int screenNumber, const std::string& monitorName);
// LXQt: pcmanfm-qt's <config>/pcmanfm-qt/lxqt/settings.conf (else its
// "default" profile), [Desktop] Wallpaper.
std::string LxqtPicture(const DesktopFolders& folders);
// feh: <home>/.fehbg, the `screenNumber`-th picture of its feh --bg-* line
// (else the first); nitrogen: <config>/nitrogen/bg-saved.cfg, "file" of the
// first group.
std::string FehPicture(const DesktopFolders& folders, int screenNumber);
// A GNOME background slideshow (XML): the picture shown at `now`; of
// several sizes of one picture, the largest. Empty when the file is no
// slideshow.
std::string SlideshowPicture(const std::string& xmlPath, std::time_t now);
