#include "platform/DesktopPicture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

// Compiled test schemas (GNOME and MATE; no Cinnamon) in a fresh folder.
class Desktops {
 public:
  Desktops() {
    dir_.Write("wingdrift-test.gschema.xml", kSchemas);
    const std::string command = "glib-compile-schemas '" + dir_.path() + "' 2>&1";
    compiled_ = std::system(command.c_str()) == 0;
  }
  bool compiled() const { return compiled_; }
  // A DesktopPicture reading `settings` (key-file text).
  DesktopPicture With(const std::string& settings) {
    return DesktopPicture(dir_.path(), dir_.Write("settings" + std::to_string(++n_), settings));
  }

 private:
  TempDir dir_;
  bool compiled_ = false;
  int n_ = 0;
};

}  // namespace

TEST(DesktopPicture, PathFromUri) {
  EXPECT_EQ(DesktopPicture::PathFromUri("file:///home/u/My%20Sky%23.jpg"), "/home/u/My Sky#.jpg");
  EXPECT_EQ(DesktopPicture::PathFromUri("file:///usr/share/%C3%A9t%C3%A9.png"),
            "/usr/share/\xC3\xA9t\xC3\xA9.png");
  EXPECT_EQ(DesktopPicture::PathFromUri("/usr/share/backgrounds/a b.png"),
            "/usr/share/backgrounds/a b.png");
  EXPECT_EQ(DesktopPicture::PathFromUri("https://example.com/sky.jpg"), "");
  EXPECT_EQ(DesktopPicture::PathFromUri("sky.jpg"), "");
  EXPECT_EQ(DesktopPicture::PathFromUri("file://%ZZ"), "");
  EXPECT_EQ(DesktopPicture::PathFromUri(""), "");
}

TEST(DesktopPicture, ReadsTheRunningDesktopsSetting) {
  Desktops desktops;
  if (!desktops.compiled()) GTEST_SKIP() << "glib-compile-schemas is not available";
  const std::string gnome =
      "[org/gnome/desktop/background]\n"
      "picture-uri='file:///pics/Light%20Sky.jpg'\n"
      "picture-uri-dark='file:///pics/dark.png'\n";
  const std::string mate = "[org/mate/desktop/background]\npicture-filename='/pics/mate.jpg'\n";
  {  // GNOME, light
    DesktopPicture p = desktops.With(gnome);
    EXPECT_EQ(p.PathForScreen(0, nullptr), "/pics/Light Sky.jpg");
    EXPECT_EQ(p.PathForScreen(1, "ubuntu:GNOME"), "/pics/Light Sky.jpg");
  }
  {  // GNOME, dark
    DesktopPicture p =
        desktops.With(gnome + "[org/gnome/desktop/interface]\ncolor-scheme='prefer-dark'\n");
    EXPECT_EQ(p.PathForScreen(0, "GNOME"), "/pics/dark.png");
  }
  {  // dark without a dark picture: the light one
    DesktopPicture p = desktops.With(
        "[org/gnome/desktop/background]\npicture-uri='file:///pics/only.png'\n"
        "[org/gnome/desktop/interface]\ncolor-scheme='prefer-dark'\n");
    EXPECT_EQ(p.PathForScreen(0, "GNOME"), "/pics/only.png");
  }
  {  // MATE running with GNOME's schemas installed too: MATE's choice
    DesktopPicture p = desktops.With(gnome + mate);
    EXPECT_EQ(p.PathForScreen(0, "MATE"), "/pics/mate.jpg");
    EXPECT_EQ(p.PathForScreen(0, "X-Cinnamon"), "/pics/Light Sky.jpg")
        << "Cinnamon's schema is missing here: skipped without harm";
  }
  {  // GNOME's picture unset: the next desktop that has one
    DesktopPicture p = desktops.With(mate);
    EXPECT_EQ(p.PathForScreen(0, nullptr), "/pics/mate.jpg");
  }
  {  // nothing set, or a picture that is not a local file
    EXPECT_EQ(desktops.With("").PathForScreen(0, nullptr), "");
    EXPECT_EQ(desktops.With("[org/gnome/desktop/background]\npicture-uri='https://x/y.jpg'\n")
                  .PathForScreen(0, nullptr),
              "");
  }
  {  // a folder without schemas: nothing, no abort
    TempDir empty;
    DesktopPicture p(empty.path(), empty.Write("settings", gnome));
    EXPECT_EQ(p.PathForScreen(0, "GNOME"), "");
  }
}
