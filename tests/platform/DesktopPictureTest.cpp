#include "platform/DesktopPicture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/DesktopConfigFiles.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace {

constexpr char kSchemas[] = R"(<schemalist>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-uri-dark" type="s"><default>''</default></key>
  </schema>
  <schema id="org.gnome.desktop.interface" path="/org/gnome/desktop/interface/">
    <key name="color-scheme" type="s"><default>'default'</default></key>
  </schema>
  <schema id="org.mate.background" path="/org/mate/desktop/background/">
    <key name="picture-filename" type="s"><default>''</default></key>
  </schema>
</schemalist>
)";

// A home of its own, and compiled test schemas (GNOME and MATE; no Cinnamon).
class DesktopPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    schemas_.Write("wingdrift-test.gschema.xml", kSchemas);
    if (std::system(("glib-compile-schemas '" + schemas_.path() + "' 2>&1").c_str()) != 0)
      GTEST_SKIP() << "glib-compile-schemas is not available";
  }
  // A DesktopPicture reading `settings` (key-file text).
  DesktopPicture With(const std::string& settings) {
    const std::string file = "settings" + std::to_string(++n_);
    return DesktopPicture(schemas_.path(), schemas_.Write(file, settings));
  }

  TempDir home_, schemas_;
  ScopedEnv homeEnv_{"HOME", home_.path().c_str()};
  ScopedEnv configEnv_{"XDG_CONFIG_HOME", nullptr};
  int n_ = 0;
};

}  // namespace

TEST_F(DesktopPictureTest, ReadsTheRunningDesktopsSetting) {
  const std::string uri = "[org/gnome/desktop/background]\npicture-uri=";
  const std::string gnome =
      uri + "'file:///pics/Light%20Sky%23.jpg'\npicture-uri-dark='file:///pics/dark.png'\n";
  const std::string dark = "[org/gnome/desktop/interface]\ncolor-scheme='prefer-dark'\n";
  const std::string mate = "[org/mate/desktop/background]\npicture-filename='/pics/mate.jpg'\n";
  const struct {
    std::string settings;
    int screen;
    const char* desktop;
    const char* picture;
  } rows[] = {
      {gnome, 0, nullptr, "/pics/Light Sky#.jpg"},
      {gnome, 1, "ubuntu:GNOME", "/pics/Light Sky#.jpg"},
      {gnome + dark, 0, "GNOME", "/pics/dark.png"},
      {uri + "'file:///pics/only.png'\n" + dark, 0, "GNOME", "/pics/only.png"},
      // MATE running with GNOME's schemas installed too: MATE's choice.
      {gnome + mate, 0, "MATE", "/pics/mate.jpg"},
      // Cinnamon's schema is missing here: skipped without harm.
      {gnome + mate, 0, "X-Cinnamon", "/pics/Light Sky#.jpg"},
      // GNOME's picture unset: the next desktop that has one.
      {mate, 0, nullptr, "/pics/mate.jpg"},
      // A plain path is taken; no other URI than file://, nor a bad escape.
      {uri + "'/pics/a b.png'\n", 0, nullptr, "/pics/a b.png"},
      {uri + "'https://x/y.jpg'\n", 0, nullptr, ""},
      {uri + "'sky.jpg'\n", 0, nullptr, ""},
      {uri + "'file://%ZZ'\n", 0, nullptr, ""},
  };
  for (const auto& row : rows)
    EXPECT_EQ(With(row.settings).PathForScreen(row.screen, row.desktop), row.picture)
        << row.settings;
  // A folder without schemas: nothing, no abort.
  TempDir empty;
  EXPECT_EQ(DesktopPicture(empty.path(), empty.Write("settings", gnome)).PathForScreen(0, "GNOME"),
            "");
}

TEST_F(DesktopPictureTest, ReadsEachDesktopsFilesInTheHome) {
  const DesktopPicture p = With("");  // GSettings with nothing set
  EXPECT_EQ(p.PathForScreen(0, "KDE"), "");

  // KDE Plasma: the wallpaper of the containment on the screen; a wallpaper
  // package gives its largest picture.
  home_.Write(".config/plasma-org.kde.plasma.desktop-appletsrc",
      "[Containments][1]\nlastScreen=0\nplugin=org.kde.desktopcontainment\n"
      "wallpaperplugin=org.kde.image\n\n"
      "[Containments][1][Wallpaper][org.kde.image][General]\nImage=file:///pics/kde%20left.jpg\n\n"
      "[Containments][2]\nlastScreen=1\nwallpaperplugin=org.kde.image\n\n"
      "[Containments][2][Wallpaper][org.kde.image][General]\nImage=" + home_.path() + "/Next/\n\n"
      "[Containments][7]\nplugin=org.kde.panel\n");
  for (const char* size : {"1920x1080", "5120x2880", "1280x1024"})
    home_.Write(std::string("Next/contents/images/") + size + ".png", "x");
  EXPECT_EQ(p.PathForScreen(0, "KDE"), "/pics/kde left.jpg");
  EXPECT_EQ(p.PathForScreen(1, "KDE"), home_.path() + "/Next/contents/images/5120x2880.png");

  // Xfce: xfconf's backdrop of the monitor, by output name or by order.
  const auto monitor = [](std::string name, std::string picture) {
    return "<property name=\"monitor" + name + "\"><property name=\"workspace0\">" +
           "<property name=\"last-image\" type=\"string\" value=\"" + picture +
           "\"/></property></property>";
  };
  home_.Write(".config/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml",
              "<channel name=\"xfce4-desktop\"><property name=\"backdrop\">"
              "<property name=\"screen0\">" + monitor("HDMI-1", "/pics/xfce-hdmi.png") +
                  monitor("DP-2", "/pics/xfce-dp.png") + "</property></property></channel>");
  EXPECT_EQ(p.PathForScreen(0, "XFCE", "DP-2"), "/pics/xfce-dp.png");
  EXPECT_EQ(p.PathForScreen(0, "XFCE"), "/pics/xfce-hdmi.png");
  EXPECT_EQ(p.PathForScreen(1, "XFCE"), "/pics/xfce-dp.png");

  // LXQt: pcmanfm-qt's desktop wallpaper.
  home_.Write(".config/pcmanfm-qt/lxqt/settings.conf",
      "[Behavior]\nNoUsbTrash=true\n\n"
      "[Desktop]\nWallpaper=/pics/lxqt waves.png\nWallpaperMode=zoom\n");
  EXPECT_EQ(p.PathForScreen(0, "LXQt"), "/pics/lxqt waves.png");
  // Another desktop: the others in order, KDE first.
  EXPECT_EQ(p.PathForScreen(0, "i3"), "/pics/kde left.jpg");

  // feh, for window managers: one picture per monitor.
  std::filesystem::remove_all(home_.File(".config"));
  home_.Write(".fehbg",
              "#!/bin/sh\nfeh --no-fehbg --bg-fill '/pics/feh one.jpg' '/pics/feh-two.png' \n");
  EXPECT_EQ(p.PathForScreen(0, "i3"), "/pics/feh one.jpg");
  EXPECT_EQ(p.PathForScreen(1, "i3"), "/pics/feh-two.png");
  EXPECT_EQ(p.PathForScreen(5, "i3"), "/pics/feh one.jpg");

  // GNOME naming a slideshow: its current picture.
  home_.Write("show.xml", "<background><static><duration>60</duration>"
                  "<file>/pics/shown.jpg</file></static></background>");
  const std::string show = "file://" + home_.File("show.xml");
  EXPECT_EQ(With("[org/gnome/desktop/background]\npicture-uri='" + show + "'\n")
                .PathForScreen(0, "GNOME"),
            "/pics/shown.jpg");
}

TEST(DesktopPictureSlideshow, ShowsItsCurrentPicture) {
  TempDir dir;
  // Debian's own default: one picture in several sizes.
  const std::string sizes = dir.Write("debian.xml", R"(<background><static>
  <duration>8640000.0</duration>
  <file>
    <size width="1920" height="1080">/usr/share/wall/1920x1080.svg</size>
    <size width="3840" height="2160">/usr/share/wall/3840x2160.svg</size>
    <size width="1280" height="1024">/usr/share/wall/1280x1024.svg</size>
  </file>
</static></background>)");
  EXPECT_EQ(SlideshowPicture(sizes, std::time(nullptr)), "/usr/share/wall/3840x2160.svg");

  // A timed show: an hour of A, a minute's fade to B, an hour of B, a
  // minute's fade back, from a start in local time.
  const auto shown = [](std::string from, std::string to) {
    return "<static><duration>3600.0</duration><file>" + from + "</file></static>" +
           "<transition type=\"overlay\"><duration>60.0</duration><from>" + from + "</from><to>" +
           to + "</to></transition>";
  };
  const std::string timed = dir.Write(
      "timed.xml", "<background><starttime><year>2020</year><month>1</month><day>1</day>"
                   "<hour>0</hour><minute>00</minute><second>00</second></starttime>" +
                       shown("/pics/a.jpg", "/pics/b.jpg") + shown("/pics/b.jpg", "/pics/a.jpg") +
                       "</background>");
  std::tm start{};
  start.tm_year = 120;
  start.tm_mday = 1;
  start.tm_isdst = -1;
  const std::time_t t0 = std::mktime(&start);
  const std::pair<int, const char*> rows[] = {
      {3610, "/pics/a.jpg"},
      {3650, "/pics/b.jpg"},
      {7300, "/pics/a.jpg"},
      {7320 * 3 + 3700, "/pics/b.jpg"},
  };
  for (const auto& [seconds, picture] : rows)
    EXPECT_EQ(SlideshowPicture(timed, t0 + seconds), picture) << seconds;
  EXPECT_EQ(SlideshowPicture(dir.Write("bad.xml", "<background><static>"), t0), "");
  EXPECT_EQ(SlideshowPicture(dir.File("missing.xml"), t0), "");
}
