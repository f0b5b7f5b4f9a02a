#include "scene/BackgroundPictures.h"

#include <GL/gl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "scene/Picture.h"
#include "tests/support/GLTest.h"
#include "tests/support/SceneContent.h"
#include "tests/support/TempDir.h"
#include "util/Texture.h"

namespace fs = std::filesystem;

namespace {

using Rgba = std::array<int, 4>;

// Writes a picture in `format` ("png", "jpeg") of width x height pixels, all
// of colour `rgba` (0xRRGGBBAA).
std::string WriteSolid(const std::string& path, const char* format, int width, int height,
                       bool alpha, guint32 rgba) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
  gdk_pixbuf_fill(pixbuf, rgba);
  EXPECT_TRUE(gdk_pixbuf_save(pixbuf, path.c_str(), format, nullptr, nullptr)) << path;
  g_object_unref(pixbuf);
  return path;
}

// Pixel (x, row) of a texture of `width` pixels a row, row 0 first as uploaded.
Rgba TexelAt(GLuint name, GLint width, int x, int row) {
  GLint w = 0, h = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  EXPECT_EQ(w, width);
  std::vector<uint8_t> rgba(size_t(w) * h * 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  const uint8_t* p = &rgba[(size_t(row) * w + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

}  // namespace

TEST(PictureFolder, ChoosesAmongRegularPictureFilesInAnyCase) {
  TempDir dir;
  for (const char* name : {"a.jpg", "b.jpg", "c.png", "D.JPG", ".jpg", "x.jpgx", "e.gif.txt"})
    dir.Write(name, "x");
  // Only regular files (and links to them) are pictures: never a folder, a
  // FIFO (opening it would wait for ever) or a dangling link.
  fs::create_directory(dir.File("folder.gif"));
  ASSERT_EQ(mkfifo(dir.File("fifo.jpg").c_str(), 0600), 0);
  fs::create_symlink(dir.File("a.jpg"), dir.File("link.png"));
  fs::create_symlink(dir.File("gone"), dir.File("dangling.png"));
  const char* folder = dir.path().c_str();
  EXPECT_EQ(CountFiles(folder, ".jpg"), 3);
  std::set<std::string> chosen;
  char name[kPictureNameSize];
  for (int draw = 0; draw < 60; ++draw) {
    ASSERT_TRUE(ChooseRandomImageFile(folder, name, sizeof name));
    chosen.insert(name);
  }
  EXPECT_EQ(chosen, (std::set<std::string>{"a.jpg", "b.jpg", "D.JPG", "c.png", "link.png"}));
  for (int n : {3, -1}) EXPECT_FALSE(FindNthFile(folder, name, sizeof name, ".jpg", n)) << n;

  // A name that does not fit the caller's buffer is refused, not cut.
  TempDir one;
  one.Write("photo.JPEG", "x");
  char small[10], exact[11];
  EXPECT_FALSE(FindNthFile(one.path().c_str(), small, sizeof small, ".jpeg", 0));
  EXPECT_TRUE(ChooseRandomImageFile(one.path().c_str(), exact, sizeof exact));
  EXPECT_STREQ(exact, "photo.JPEG");
}

TEST(PictureTexture, SizeFollowsTheDetailLevel) {
  // detail, picture width and height, GL maximum: texture width and height.
  // Details other than 0 and 1 follow the picture.
  const std::array<int, 6> rows[] = {
      {0, 1000, 700, 16384, 512, 512},
      {1, 3, 5000, 16384, 1024, 1024},
      {2, 1000, 700, 16384, 1024, 512},  // log2 700 = 9.45 -> 9
      {2, 1500, 1, 16384, 2048, 1},
      {2, 1500, 1448, 1024, 1024, 1024},   // limited by the GL maximum
      {2, 1449, 1447, 16384, 2048, 1024},  // sqrt(2) * 1024 = 1448.2 is the boundary
      // Beyond the texture builder's pixel limit: scaled down to fit, not refused.
      {2, 11000, 11000, 16384, 8192, 8192},
      {2, 16000, 6000, 16384, 8192, 8192},
      {2, 6000, 16000, 16384, 8192, 8192},
  };
  for (const auto& r : rows) {
    uint32_t w = 0, h = 0;
    ChooseTextureSize(r[0], r[1], r[2], r[3], &w, &h);
    EXPECT_EQ(std::pair(w, h), (std::pair<uint32_t, uint32_t>(r[4], r[5])))
        << r[1] << " x " << r[2] << " at detail " << r[0];
  }
}

TEST(PictureTexture, AHugeJpegCostsWhatItsTextureCosts) {
  // 6000 x 6000 pixels: 108 MB decoded whole; at the 1024 x 1024 it is drawn
  // at, a few MB. Measured in a child process of its own.
  TempDir dir;
  const std::string jpeg = WriteSolid(dir.File("huge.jpg"), "jpeg", 6000, 6000, false, 0x805a40ff);
  const pid_t child = fork();
  if (child == 0) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    Picture picture;
    const bool ok = picture.DecodeAtSize(jpeg.c_str(), [](uint32_t, uint32_t, uint32_t* w,
                                                          uint32_t* h) {
      *w = *h = 1024;
      return true;
    });
    getrusage(RUSAGE_SELF, &after);
    _exit(ok && picture.width() == 1024 && picture.ownWidth() == 6000 &&
          after.ru_maxrss - before.ru_maxrss <= 32 * 1024 ? 0 : 1);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0) << "not decoded at 1024 x 1024 within 32 MB";
}

using BackgroundPicture = GLTest;

// The picture's orientation in the texture shows in whole frames of the scene.
TEST_F(BackgroundPicture, EachKindOfPictureBecomesAnOpaqueTextureOfItsDetail) {
  TempDir dir;
  const std::string photo = dir.File("photo.png");
  ASSERT_TRUE(WriteTestPicture(photo, 1000, 700));
  // Half transparent: every pixel comes out opaque, its colour kept.
  const std::string png = WriteSolid(dir.File("alpha.png"), "png", 8, 8, true, 0xd2070964);
  const std::string grey8 = dir.Write("grey8.pgm", "P5\n2 1\n255\n\x28\xc8");
  const std::string grey16 = dir.Write("grey16.pgm", std::string("P5\n1 1\n65535\n\x80") + '\0');
  // One red pixel, which the GIF loader hands out unscaled.
  const std::string dot("GIF89a\x01\0\x01\0\x80\0\0\xff\0\0\0\0\0"
                        ",\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;",
                        35);
  const std::string gif = dir.Write("dot.gif", dot);
  const struct {
    std::string path;
    int detail;
    GLint side;  // the texture's width
    int x, row;
    Rgba colour;
  } rows[] = {{photo, 2, 1024, 10, 500, {235, 235, 235, 255}},  // the top band, at the top
              {photo, 0, 512, 10, 10, {40, 60, 200, 255}},
              {png, 1, 1024, 1023, 0, {210, 7, 9, 255}},
              {grey8, 0, 512, 0, 0, {40, 40, 40, 255}},
              {grey8, 0, 512, 511, 0, {200, 200, 200, 255}},
              {grey16, 0, 512, 3, 3, {128, 128, 128, 255}},
              {gif, 0, 512, 300, 200, {255, 0, 0, 255}}};
  // One record takes every picture in turn, as the view's does.
  Texture texture;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path + " at detail " + std::to_string(row.detail));
    const GLuint replaced = texture.texID;
    ASSERT_TRUE(loadPicFile(row.path.c_str(), &texture, row.detail));
    EXPECT_FALSE(glIsTexture(replaced)) << "the replaced texture is deleted";
    EXPECT_EQ(texture.imageData, nullptr);
    const Rgba texel = TexelAt(texture.texID, row.side, row.x, row.row);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(texel[i], row.colour[i], 8) << i;
  }
  // Through their folder, with or without a trailing "/".
  for (const std::string& folder : {dir.path(), dir.path() + "/"})
    EXPECT_TRUE(LoadPicture(folder.c_str(), &texture, 0)) << folder;
}

TEST_F(BackgroundPicture, FailuresSayWhyAndLeaveTheRecordUntouched) {
  TempDir dir;
  const std::string cut = dir.File("cut.png");
  ASSERT_TRUE(WriteTestPicture(cut, 40, 40));
  fs::resize_file(cut, fs::file_size(cut) / 2);
  const std::string fifo = dir.File("a.jpg");  // opening it would block for good
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Through a folder (true), the reasons name the folder or the picture.
  TempDir empty, bad;
  bad.Write("bad.png", "not a picture");
  const std::string none = dir.File("none");
  const std::tuple<std::string, std::string, bool> rows[] = {
      {cut, "did not decode (the file is cut short)", false},
      {dir.Write("garbage.png", std::string(300, '\x5a')), "did not decode", false},
      // More than kMaxPicturePixels.
      {dir.Write("huge.ppm", "P6\n16385 8193\n255\n" + std::string(64, '\0')),
       "is too large (16385 x 8193 pixels)", false},
      {dir.File("missing.png"), "cannot be opened (No such file or directory)", false},
      {std::string(), "cannot be opened (No such file or directory)", false},
      {fifo, "is not a regular file", false},
      {dir.path(), "is not a regular file", false},
      {none, "the picture folder \"" + none + "\" cannot be read (No such file or directory)",
       true},
      {empty.path(),
       "the picture folder \"" + empty.path() + "\" has no .jpg, .jpeg, .gif or .png picture",
       true},
      {bad.path(), "the picture \"" + bad.File("bad.png") + "\" did not decode", true},
  };
  for (const auto& [path, reason, folder] : rows) {
    SCOPED_TRACE(path);
    Texture texture;
    texture.width = 2;
    texture.type = 4;
    std::string why;
    EXPECT_FALSE(folder ? LoadPicture(path.c_str(), &texture, 1, &why)
                        : loadPicFile(path.c_str(), &texture, 1, &why));
    EXPECT_EQ(why, reason);
    EXPECT_EQ(texture.width, 2u);
    EXPECT_EQ(texture.type, 4u);
    EXPECT_EQ(texture.texID, 0u);
  }
}
