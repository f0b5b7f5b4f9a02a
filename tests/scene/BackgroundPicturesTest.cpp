#include "scene/BackgroundPictures.h"

#include <GL/gl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "scene/Picture.h"
#include "tests/support/GLTest.h"
#include "tests/support/TempDir.h"
#include "util/Texture.h"

namespace fs = std::filesystem;

namespace {

using Rgba = std::array<uint8_t, 4>;

// Writes a picture in `format` ("png", "jpeg") whose pixel at column x, row y
// (row 0 at the top) is colour(x, y).
void WritePicture(const std::string& path, const char* format, int width, int height, bool alpha,
                  const std::function<Rgba(int x, int y)>& colour) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
  ASSERT_NE(pixbuf, nullptr);
  const int n = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
  guint8* pixels = gdk_pixbuf_get_pixels(pixbuf);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgba c = colour(x, y);
      for (int i = 0; i < n; ++i) pixels[y * stride + x * n + i] = c[i];
    }
  GError* error = nullptr;
  const bool saved = gdk_pixbuf_save(pixbuf, path.c_str(), format, &error,
                                     std::string(format) == "jpeg" ? "quality" : nullptr, "100", nullptr);
  g_object_unref(pixbuf);
  ASSERT_TRUE(saved) << (error ? error->message : "");
}

// Four quadrants: red top left, green top right, blue bottom left, white
// bottom right.
Rgba Quadrant(int x, int y, int width, int height) {
  const bool right = x >= width / 2, bottom = y >= height / 2;
  if (!bottom) return right ? Rgba{0, 255, 0, 255} : Rgba{255, 0, 0, 255};
  return right ? Rgba{255, 255, 255, 255} : Rgba{0, 0, 255, 255};
}

struct Readback {
  GLint width = 0, height = 0;
  std::vector<uint8_t> rgba;  // row 0 first, as uploaded
  Rgba At(int x, int row) const {
    const size_t i = (size_t(row) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
  }
};

Readback ReadTexture(GLuint name) {
  Readback r;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &r.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &r.height);
  r.rgba.resize(size_t(r.width) * r.height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, r.rgba.data());
  return r;
}

bool Near(const Rgba& a, const Rgba& b, int tolerance) {
  for (int i = 0; i < 4; ++i)
    if (std::abs(a[i] - b[i]) > tolerance) return false;
  return true;
}

void ExpectUntouched(const Texture& t) {
  EXPECT_EQ(t.bpp, 1u);
  EXPECT_EQ(t.width, 2u);
  EXPECT_EQ(t.height, 3u);
  EXPECT_EQ(t.type, 4u);
  EXPECT_EQ(t.texID, 0u);
  EXPECT_EQ(t.imageData, nullptr);
}

}  // namespace

TEST(PictureFolder, CountsAndFindsRegularFilesBySuffixInAnyCase) {
  TempDir dir;
  for (const char* name : {"a.jpg", "b.jpg", "c.png", "D.JPG", ".jpg", "x.jpgx", "noext", "e.gif.txt"})
    dir.Write(name, "x");
  // Only regular files (and links to them) are pictures: never a folder, a
  // FIFO (opening it would wait for ever) or a dangling link.
  fs::create_directory(dir.File("folder.gif"));
  ASSERT_EQ(mkfifo(dir.File("fifo.jpg").c_str(), 0600), 0);
  fs::create_symlink(dir.File("a.jpg"), dir.File("link.png"));
  fs::create_symlink(dir.File("gone"), dir.File("dangling.png"));
  const char* folder = dir.path().c_str();

  EXPECT_EQ(CountFiles(folder, ".jpg"), 3);
  EXPECT_EQ(CountFiles(folder, ".gif"), 0);
  EXPECT_EQ(CountFiles(folder, ".png"), 2);
  EXPECT_EQ(CountFiles(folder, ".JPG"), 3);
  EXPECT_EQ(CountFiles(dir.File("missing").c_str(), ".jpg"), 0);

  char name[kPictureNameSize];
  std::set<std::string> jpgs;
  for (int n = 0; n < 3; ++n) {
    ASSERT_TRUE(FindNthFile(folder, name, sizeof name, ".jpg", n));
    jpgs.insert(name);
  }
  EXPECT_EQ(jpgs, (std::set<std::string>{"a.jpg", "b.jpg", "D.JPG"}));
  for (int n : {3, 4, -1}) EXPECT_FALSE(FindNthFile(folder, name, sizeof name, ".jpg", n)) << n;
  EXPECT_FALSE(FindNthFile(dir.File("missing").c_str(), name, sizeof name, ".jpg", 0));
  TempDir one;
  one.Write("c.png", "x");
  char small[5];
  EXPECT_FALSE(FindNthFile(one.path().c_str(), small, sizeof small, ".png", 0)) << "c.png needs 6 bytes";
  char exact[6];
  EXPECT_TRUE(FindNthFile(one.path().c_str(), exact, sizeof exact, ".png", 0));
  EXPECT_STREQ(exact, "c.png");
}

TEST(PictureFolder, ChoosesEveryPictureWithRand) {
  TempDir dir;
  for (const char* name : {"a.jpg", "b.jpg", "c.png", "d.txt"}) dir.Write(name, "x");
  char first[kPictureNameSize];
  ASSERT_TRUE(FindNthFile(dir.path().c_str(), first, sizeof first, ".jpg", 0));

  std::set<std::string> chosen;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::srand(seed);
    const int draw = std::rand() % 3;
    std::srand(seed);
    char name[kPictureNameSize];
    ASSERT_TRUE(ChooseRandomImageFile(dir.path().c_str(), name, sizeof name));
    if (draw == 2) {
      EXPECT_STREQ(name, "c.png") << "after the two .jpg files comes the only .png";
    }
    if (draw == 0) {
      EXPECT_STREQ(name, first);
    }
    chosen.insert(name);
  }
  EXPECT_EQ(chosen, (std::set<std::string>{"a.jpg", "b.jpg", "c.png"}));

  TempDir none;
  none.Write("picture.tiff", "x");
  char name[kPictureNameSize];
  EXPECT_FALSE(ChooseRandomImageFile(none.path().c_str(), name, sizeof name));
  none.Write("photo.JPEG", "x");
  ASSERT_TRUE(ChooseRandomImageFile(none.path().c_str(), name, sizeof name));
  EXPECT_STREQ(name, "photo.JPEG");
}

TEST(PictureTexture, SizeFollowsTheDetailLevel) {
  uint32_t w = 0, h = 0;
  ChooseTextureSize(0, 1000, 700, 16384, &w, &h);
  EXPECT_EQ(w, 512u);
  EXPECT_EQ(h, 512u);
  ChooseTextureSize(1, 3, 5000, 16384, &w, &h);
  EXPECT_EQ(w, 1024u);
  EXPECT_EQ(h, 1024u);
  for (int detail : {2, 3, -1}) {
    ChooseTextureSize(detail, 1000, 700, 16384, &w, &h);  // log2 700 = 9.45 -> 9
    EXPECT_EQ(w, 1024u) << detail;
    EXPECT_EQ(h, 512u) << detail;
  }
  ChooseTextureSize(2, 1500, 1, 16384, &w, &h);
  EXPECT_EQ(w, 2048u);
  EXPECT_EQ(h, 1u);
  ChooseTextureSize(2, 1500, 1448, 1024, &w, &h);  // limited by the GL maximum
  EXPECT_EQ(w, 1024u);
  EXPECT_EQ(h, 1024u);
  ChooseTextureSize(2, 1449, 1447, 16384, &w, &h);  // sqrt(2) * 1024 = 1448.2 is the boundary
  EXPECT_EQ(w, 2048u);
  EXPECT_EQ(h, 1024u);
  // Beyond the texture builder's pixel limit: scaled down to fit, not refused.
  ChooseTextureSize(2, 11000, 11000, 16384, &w, &h);
  EXPECT_EQ(w, 8192u);
  EXPECT_EQ(h, 8192u);
  EXPECT_LE(uint64_t{w} * h, kMaxTgaPixels);
  ChooseTextureSize(2, 16000, 6000, 16384, &w, &h);
  EXPECT_EQ(w, 8192u);
  EXPECT_EQ(h, 8192u);
}

TEST(PictureTexture, ResamplesNearestAndFlipsRows) {
  // A 3 x 2 picture, top row first, with padding at the end of each row.
  const size_t rowBytes = 3 * 4 + 5;
  std::vector<uint8_t> picture(rowBytes * 2, 0xEE);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      for (int c = 0; c < 4; ++c) picture[y * rowBytes + x * 4 + c] = uint8_t(10 * (y * 3 + x) + c);

  std::vector<uint8_t> texture(6 * 4 * 4, 0);
  ResamplePicture(picture.data(), 3, 2, rowBytes, 4, texture.data(), 6, 4);
  // ry = 0.5: texture rows 0, 1 take the picture's bottom row, rows 2, 3 its top.
  for (int row = 0; row < 4; ++row)
    for (int x = 0; x < 6; ++x) {
      const int sourcePixel = (row < 2 ? 3 : 0) + x / 2;
      const uint8_t* px = &texture[(row * 6 + x) * 4];
      EXPECT_EQ(px[0], 10 * sourcePixel) << row << "," << x;
      EXPECT_EQ(px[2], 10 * sourcePixel + 2);
      EXPECT_EQ(px[3], 255) << "the fourth byte is opaque";
    }

  // Three channels, shrinking: columns 0, 2 of a 4-wide picture.
  const uint8_t rgb[2 * 4 * 3] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4,  //
                                  5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8};
  uint8_t small[2 * 1 * 3] = {};
  ResamplePicture(rgb, 4, 2, 12, 3, small, 2, 1);
  EXPECT_EQ(small[0], 1);  // texture row 0 is step 0: picture row 0
  EXPECT_EQ(small[3], 3);
}

TEST(PictureTexture, AHugeJpegCostsWhatItsTextureCosts) {
  // 6000 x 6000 pixels: 108 MB decoded whole; at the 1024 x 1024 it is drawn
  // at, a few MB. Measured in a child process of its own.
  TempDir dir;
  const std::string jpeg = dir.File("huge.jpg");
  WritePicture(jpeg, "jpeg", 6000, 6000, false, [](int x, int y) { return Quadrant(x, y, 6000, 6000); });
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    Picture picture;
    const bool ok = picture.DecodeAtSize(jpeg.c_str(), [](uint32_t, uint32_t, uint32_t* w, uint32_t* h) {
      *w = *h = 1024;
      return true;
    });
    getrusage(RUSAGE_SELF, &after);
    const long grownKiB = after.ru_maxrss - before.ru_maxrss;
    _exit(!ok ? 2 : grownKiB > 32 * 1024 ? 4 : picture.width() != 1024 || picture.ownWidth() != 6000 ? 3 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 2) << "did not decode";
  EXPECT_NE(WEXITSTATUS(status), 3) << "not decoded at the size asked for";
  EXPECT_NE(WEXITSTATUS(status), 4) << "decoding took more than 32 MB";
}

using BackgroundPicture = GLTest;

TEST_F(BackgroundPicture, BuildsTheTextureTheRightWayUpAtEachDetail) {
  TempDir dir;
  const std::string png = dir.File("quadrants.png");
  WritePicture(png, "png", 64, 32, false, [](int x, int y) { return Quadrant(x, y, 64, 32); });

  for (int detail : {0, 1, 2}) {
    Texture texture;
    ASSERT_TRUE(loadPicFile(png.c_str(), &texture, detail)) << detail;
    EXPECT_EQ(texture.width, 64u) << "the picture's own size";
    EXPECT_EQ(texture.height, 32u);
    EXPECT_EQ(texture.type, static_cast<uint32_t>(GL_RGB));
    // Stretched with linear filtering, a repeating texture would blend the
    // opposite edge into the outermost pixels.
    GLint wrap[2] = {};
    glBindTexture(GL_TEXTURE_2D, texture.texID);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap[0]);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap[1]);
    EXPECT_EQ(wrap[0], GL_CLAMP_TO_EDGE);
    EXPECT_EQ(wrap[1], GL_CLAMP_TO_EDGE);
    EXPECT_EQ(texture.bpp, 24u);
    EXPECT_EQ(texture.imageData, nullptr);
    ASSERT_NE(texture.texID, 0u);
    const Readback r = ReadTexture(texture.texID);
    const GLint side[] = {512, 1024};
    EXPECT_EQ(r.width, detail < 2 ? side[detail] : 64);
    EXPECT_EQ(r.height, detail < 2 ? side[detail] : 32);
    // Row 0 of the texture is the picture's bottom row.
    EXPECT_EQ(r.At(0, 0), (Rgba{0, 0, 255, 255})) << detail;
    EXPECT_EQ(r.At(r.width - 1, 0), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(r.At(0, r.height - 1), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(r.At(r.width - 1, r.height - 1), (Rgba{0, 255, 0, 255}));
  }

  // A JPEG with a power-of-two-nearest size of 1024 x 512.
  const std::string jpeg = dir.File("photo.jpg");
  WritePicture(jpeg, "jpeg", 1000, 700, false, [](int x, int y) { return Quadrant(x, y, 1000, 700); });
  Texture photo;
  ASSERT_TRUE(loadPicFile(jpeg.c_str(), &photo, 2));
  EXPECT_EQ(photo.width, 1000u);
  EXPECT_EQ(photo.height, 700u);
  const Readback r = ReadTexture(photo.texID);
  EXPECT_EQ(r.width, 1024);
  EXPECT_EQ(r.height, 512);
  EXPECT_TRUE(Near(r.At(10, 10), {0, 0, 255, 255}, 8));
  EXPECT_TRUE(Near(r.At(1000, 500), {0, 255, 0, 255}, 8));
}

TEST_F(BackgroundPicture, PicturesWithAlphaAndGreyPictures) {
  TempDir dir;
  const std::string png = dir.File("alpha.png");
  // Half transparent: scaling weighs colours by their alpha, so a fully
  // transparent pixel has no colour left to show.
  WritePicture(png, "png", 8, 8, true, [](int x, int) { return Rgba{uint8_t(x * 30), 7, 9, 100}; });
  Texture texture;
  ASSERT_TRUE(loadPicFile(png.c_str(), &texture, 0));
  EXPECT_EQ(texture.type, static_cast<uint32_t>(GL_RGBA));
  EXPECT_EQ(texture.bpp, 32u);
  const Readback r = ReadTexture(texture.texID);
  EXPECT_TRUE(Near(r.At(511, 0), {210, 7, 9, 255}, 2)) << "every pixel opaque";

  // Grey pictures, 8 and 16 bits per sample, become RGB.
  const std::string grey8 = dir.Write("grey8.pgm", std::string("P5\n2 1\n255\n") + char(40) + char(200));
  const std::string grey16 = dir.Write("grey16.pgm", std::string("P5\n1 1\n65535\n") + char(0x80) + char(0x00));
  Texture g8, g16;
  ASSERT_TRUE(loadPicFile(grey8.c_str(), &g8, 0));
  EXPECT_EQ(g8.type, static_cast<uint32_t>(GL_RGB));
  const Readback r8 = ReadTexture(g8.texID);
  EXPECT_EQ(r8.At(0, 0), (Rgba{40, 40, 40, 255}));
  EXPECT_EQ(r8.At(511, 511), (Rgba{200, 200, 200, 255}));
  ASSERT_TRUE(loadPicFile(grey16.c_str(), &g16, 0));
  EXPECT_TRUE(Near(ReadTexture(g16.texID).At(3, 3), {128, 128, 128, 255}, 1));
}

TEST_F(BackgroundPicture, FailuresLeaveTheRecordUntouched) {
  TempDir dir;
  const std::string good = dir.File("good.png");
  WritePicture(good, "png", 40, 40, false, [](int x, int y) { return Quadrant(x, y, 40, 40); });
  std::string bytes;
  {
    FILE* f = fopen(good.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    fclose(f);
  }
  const std::string cut = dir.Write("cut.png", bytes.substr(0, bytes.size() / 2));
  const std::string garbage = dir.Write("garbage.png", std::string(300, '\x5a'));
  // Declares 16385 x 8193 pixels: more than kMaxPicturePixels.
  const std::string huge = dir.Write("huge.ppm", "P6\n16385 8193\n255\n" + std::string(64, '\0'));
  int w = 0, h = 0;
  ASSERT_NE(gdk_pixbuf_get_file_info(huge.c_str(), &w, &h), nullptr);
  ASSERT_GT(uint64_t(w) * uint64_t(h), kMaxPicturePixels) << "the decoder reads the declared size";

  // A FIFO under a picture's name would block the open for good.
  const std::string fifo = dir.File("a.jpg");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, const char*> cases[] = {
      {cut, "did not decode (the file is cut short)"},
      {garbage, "did not decode"},
      {huge, "is too large (16385 x 8193 pixels)"},
      {dir.File("missing.png"), "cannot be opened (No such file or directory)"},
      {std::string(), "cannot be opened (No such file or directory)"},
      {fifo, "is not a regular file"},
      {dir.path(), "is not a regular file"},
  };
  for (const auto& [path, reason] : cases) {
    Texture texture;
    texture.bpp = 1;
    texture.width = 2;
    texture.height = 3;
    texture.type = 4;
    std::string why;
    EXPECT_FALSE(loadPicFile(path.c_str(), &texture, 1, &why)) << path;
    EXPECT_EQ(why, reason) << path;
    ExpectUntouched(texture);
  }
  // The folder's reasons name the folder or the picture.
  std::string why;
  Texture texture;
  EXPECT_FALSE(LoadPicture(dir.File("none").c_str(), &texture, 1, &why));
  EXPECT_EQ(why, "the picture folder \"" + dir.File("none") +
                     "\" cannot be read (No such file or directory)");
  TempDir empty;
  EXPECT_FALSE(LoadPicture(empty.path().c_str(), &texture, 1, &why));
  EXPECT_EQ(why, "the picture folder \"" + empty.path() + "\" has no .jpg, .jpeg, .gif or .png picture");
  empty.Write("bad.png", "not a picture");
  EXPECT_FALSE(LoadPicture(empty.path().c_str(), &texture, 1, &why));
  EXPECT_EQ(why, "the picture \"" + empty.File("bad.png") + "\" did not decode");
  Picture picture;
  EXPECT_FALSE(picture.Decode(huge.c_str()));
  EXPECT_FALSE(picture.decoded());
}

TEST_F(BackgroundPicture, LoadPictureJoinsFolderAndNameAndReplacesTheOldTexture) {
  TempDir dir;
  fs::create_directory(dir.File("ab"));
  WritePicture(dir.File("ab/only.png"), "png", 4, 4, false, [](int, int) { return Rgba{9, 99, 199, 255}; });

  Texture texture;
  EXPECT_FALSE(LoadPicture(dir.File("missing").c_str(), &texture, 0));
  EXPECT_EQ(texture.texID, 0u);

  ASSERT_TRUE(LoadPicture(dir.File("ab").c_str(), &texture, 0));
  const GLuint first = texture.texID;
  EXPECT_EQ(ReadTexture(first).At(5, 5), (Rgba{9, 99, 199, 255}));
  ASSERT_TRUE(LoadPicture((dir.File("ab") + "/").c_str(), &texture, 0));
  EXPECT_NE(texture.texID, first);
  EXPECT_FALSE(glIsTexture(first)) << "the replaced texture is deleted";

  // A short relative folder gets its "/" too.
  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  const bool loaded = LoadPicture("ab", &texture, 0);
  fs::current_path(previous);
  EXPECT_TRUE(loaded);
}
