// bflytool as users run it: the built program, its output and its exit
// status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/ReadFile.h"
#include "tests/support/TempDir.h"
#include "tools/ButterflyBuilder.h"
#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"

namespace {

const std::string kData = WINGDRIFT_BINARY_DIR "/data/";
const std::string kTool = WINGDRIFT_BINARY_DIR "/tools/bflytool/bflytool";

std::string Q(const std::string& s) { return "\"" + s + "\""; }

// Runs bflytool with arguments already quoted for the shell; returns its exit
// status and puts stdout and stderr together in `output`.
int Tool(const std::string& args, std::string* output = nullptr) {
  static const TempDir logs;
  const std::string log = logs.File("output");
  const int status = std::system(("\"" + kTool + "\" " + args + " >" + Q(log) + " 2>&1").c_str());
  if (output) *output = ReadFile(log);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint32_t U32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
  return v;
}

// Arguments, exit status and a part of the output.
using Case = std::tuple<std::string, int, std::string>;

void ExpectCases(const std::vector<Case>& cases) {
  for (const auto& [args, status, says] : cases) {
    SCOPED_TRACE(args);
    std::string output;
    EXPECT_EQ(Tool(args, &output), status) << output;
    EXPECT_NE(output.find(says), std::string::npos) << output;
  }
}

// The parts of a shipped type unpacked into `dir`/parts.
std::string Unpacked(const TempDir& dir, const std::string& type) {
  const std::string parts = dir.File("parts");
  EXPECT_EQ(Tool("unpack " + Q(kData + type) + " " + Q(parts)), 0);
  return parts;
}

TEST(Bflytool, InfoAndValidateDescribeTypesAndPacksAndSayWhatIsWrong) {
  TempDir dir;
  const std::string gotf = Q(kData + "GOT-F.bfly"), pack = Q(kData + "qorvane.vessimots");
  std::string grey = ReadFile(kData + "GOT-F.bfly");
  ASSERT_GT(grey.size(), 1000u);
  const std::string shortPath = dir.Write("short.bfly", grey.substr(0, grey.size() - 1));
  // Texture 0's image type made 3 (grey-scale): the TGA reader refuses it.
  grey[U32(grey, U32(grey, 60) + 16 + 4) + 2] = 3;
  // A resource pack whose lump 3 is no image.
  std::string noImage = ReadFile(kData + "qorvane.vessimots");
  noImage[U32(noImage, 20) + 3 * 28 + 8] = 0;
  ExpectCases({
      {"info --bogus " + gotf, 2, ""},
      {"info " + gotf, 0, "\"Golden Fritillary\", version 1.0, flags 0"},
      {"info " + gotf, 0, "joint 1: wingl (parent body)"},
      {"info --json " + gotf, 0, "\"wingLeftJoint\": 1, \"wingRightJoint\": 2"},
      {"info --json --size 0.7 " + gotf, 0, "\"radius\": 2.2"},  // scaled by 1 / 1.3
      {"info " + pack, 0, "512x32 24-bit run-length"},
      {"preview " + pack + " -o " + Q(dir.File("pack.png")), 0, ""},
      {"info /nonexistent.bfly", 1, "/nonexistent.bfly: cannot be opened\n"},
      // Cut short: the length check no longer holds; the other file is still
      // checked.
      {"validate " + Q(shortPath) + " " + gotf, 1, shortPath + ": not a readable butterfly type"},
      {"validate " + Q(shortPath) + " " + gotf, 1, "GOT-F.bfly: ok"},
      {"validate " + Q(dir.Write("grey.bfly", grey)), 1, "TGA file be type 2 or type 10"},
      {"validate " + Q(dir.Write("pack.vessimots", noImage)), 1, "lump 3: the scene draws an"},
      {"validate " + Q(dir.Write("text.bfly", "hello")), 1, "neither a butterfly type nor"},
  });
  // Every shipped file passes without a warning (names, wing joints, the
  // sizes the scene draws the pack's images at).
  std::string output;
  EXPECT_EQ(Tool("validate " + Q(kData) + "*.bfly " + pack, &output), 0) << output;
  EXPECT_NE(output.find("qorvane.vessimots: ok\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("warning"), std::string::npos) << output;
}

TEST(Bflytool, PackAndUnpackRoundTripEveryKindOfType) {
  // Plain, shared alpha image, colour key and run-length types.
  for (const char* name : {"GOT-F.bfly", "BlueMorpho.bfly", "Monarch.bfly", "CabbageWhite.bfly"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string parts = Unpacked(dir, name), again = dir.File("again.bfly");
    ASSERT_EQ(Tool("pack " + Q(parts) + " -o " + Q(again)), 0);
    EXPECT_TRUE(ReadFile(again) == ReadFile(kData + name)) << "the same bytes as the original";
  }
}

TEST(Bflytool, NothingIsOverwrittenWithoutForceNorPackedFromBadParts) {
  TempDir dir;
  const std::string parts = Unpacked(dir, "GOT-F.bfly"), gotf = Q(kData + "GOT-F.bfly");
  const std::string target = dir.Write("target.bfly", "keep me");
  const std::string sheet = dir.Write("sheet.png", "keep me"), manifest = parts + "/manifest.txt";
  std::ofstream(manifest) << "keep me";
  // The unpack replaced, the parts are packed.
  for (const auto& [args, file] : {std::pair{"unpack " + gotf + " " + Q(parts), manifest},
                                   {"pack " + Q(parts) + " -o " + Q(target), target},
                                   {"preview " + gotf + " -o " + Q(sheet), sheet}}) {
    SCOPED_TRACE(args);
    std::string output;
    EXPECT_EQ(Tool(args, &output), 1);
    EXPECT_NE(output.find(": exists (use --force to replace it)\n"), std::string::npos) << output;
    EXPECT_EQ(ReadFile(file), "keep me");
    EXPECT_EQ(Tool(args + " --force"), 0);
    EXPECT_NE(ReadFile(file), "keep me");
  }
  EXPECT_EQ(ReadFile(sheet).substr(1, 3), "PNG");

}

TEST(Bflytool, PackAndUnpackRefuseWhatTheyCannotUseAndWriteNothing) {
  TempDir dir;
  const std::string parts = Unpacked(dir, "GOT-F.bfly"), gotf = Q(kData + "GOT-F.bfly");
  const std::string model = " --model " + Q(parts + "/model.ms3d"), name = " --name Test";
  const std::string texture = " --texture " + Q(parts + "/texture-0.tga");
  const std::string out = "pack -o " + Q(dir.File("out.bfly")), missing = Q(dir.File("missing"));
  const std::string notImage = dir.Write("note.tga", "not an image at all");
  const TgaImage tiny{.width = 2, .height = 2, .pixels = std::vector<uint8_t>(12, 200)};
  const std::string alpha = " --alpha " + Q(dir.Write("alpha.tga", MakeTga(tiny, false)));
  // No texture; a texture lump that runs past the end of the file.
  LumpSpec lump, beyond;
  lump.bytes = beyond.bytes = MakeTga(tiny, false);
  beyond.size = 1u << 30;
  const std::string bare = Q(dir.Write("bare.bfly", MakeBflyFile({}, {lump})));
  const std::string cut = Q(dir.Write("cut.bfly", MakeBflyFile({}, {lump, beyond})));
  ExpectCases({
      {"", 2, "usage:\n  bflytool info FILE..."},
      {"frobnicate", 2, "bflytool: unknown command \"frobnicate\" (try bflytool --help)\n"},
      {"pack" + model + texture + name, 2, "bflytool pack: no output file (-o OUT.bfly)\n"},
      {out + model + texture + name + " --scale 0", 2, "--scale is a whole per cent from 1 to 255"},
      {out + model + texture + "=glowing" + name, 2, "is not opaque, key or brightness"},
      {out + " --bogus", 2, "bflytool pack: unexpected argument --bogus\n"},
      {"pack " + Q(parts) + " -o x.bfly" + name, 2, "either a folder with a manifest or the parts"},
      {out + name, 2, "needs --model and at least one --texture (or a folder)"},
      {"pack " + missing + " -o x.bfly", 1, "missing/manifest.txt: cannot be read\n"},
      {out + model + texture + " --name " + std::string(40, 'x'), 1,
       "bflytool pack: the display name must have 1 to 39 bytes\n"},
      {out + " --model " + missing + texture + name, 1, "missing: cannot be read\n"},
      {out + model + " --texture " + missing + name, 1, "missing: cannot be read\n"},
      {out + model + " --alpha " + missing + texture + name, 1, "missing: cannot be read\n"},
      {out + model + " --alpha " + Q(notImage) + texture + name, 1, "note.tga: not a TGA image"},
      {out + model + " --texture " + Q(notImage) + name, 1, ": not a TGA image the saver reads"},
      {out + model + alpha + texture + name, 1, "texture-0.tga: larger than the shared alpha"},
      {out + " --model " + Q(parts + "/texture-0.tga") + texture + name, 1, "not a MilkShape"},
      {"unpack --bogus", 2, "bflytool unpack: unknown option --bogus\n"},
      {"unpack " + gotf, 2, "usage: bflytool unpack FILE DIR [--force]\n"},
      {"unpack " + Q(notImage) + " " + Q(dir.File("u")), 1, "not a readable butterfly type"},
      {"unpack " + bare + " " + Q(dir.File("u")), 1, "bare.bfly: holds no texture\n"},
      {"unpack " + cut + " " + Q(dir.File("u")), 1, "cut.bfly: lump 1 lies outside the file\n"},
      {"unpack " + gotf + " " + Q(dir.File("none/u")), 1, "none/u: cannot be created\n"},
      {"pack -o " + Q(dir.File("none/out.bfly")) + model + texture + name, 1,
       "none/out.bfly: cannot be written\n"},
      {"preview " + gotf + " -o x.png --size 0", 2, "--size takes a number above 0"},
      {"preview " + gotf + " -o x.png --cell 63", 2, "--cell takes pixels from 64 to 1024"},
      {"preview " + gotf + " --bogus", 2, "bflytool preview: unexpected argument --bogus\n"},
      {"preview " + gotf, 2, "usage: bflytool preview FILE -o SHEET.png"},
      {"preview " + missing + " -o x.png", 1, "missing: cannot be opened\n"},
      {"preview " + Q(notImage) + " -o x.png", 1, "neither a butterfly type nor a resource pack"},
      {"preview " + bare + " -o x.png", 1, "bare.bfly: does not load"},
  });
  EXPECT_FALSE(std::ifstream(dir.File("out.bfly")).good());
  EXPECT_FALSE(std::ifstream(dir.File("u")).good());
  // A manifest the pack cannot follow names its line.
  for (const auto& [manifest, says] :
       {std::pair{"name = X\nno equals sign\n", "manifest line 2: expected key = value"},
        {"scale = 0", "manifest line 1: scale is a whole per cent from 1 to 255"},
        {"info = 256", "manifest line 1: info is a byte from 0 to 255"},
        {"texture = a.tga glowing", "texture = FILE RULE, RULE one of opaque, key, brightness"},
        {"colour = red", "manifest line 1: unknown key \"colour\""},
        {"# parts\nname = X", "manifest: needs a model and at least one texture"}}) {
    std::ofstream(parts + "/manifest.txt") << manifest;
    ExpectCases({{"pack " + Q(parts) + " -o " + Q(dir.File("out.bfly")), 1, says}});
  }
  // Wings that cannot move are packed, with a warning.
  dir.Write("still.bfly", ButterflyFile({.wingJoints = false}));
  ASSERT_EQ(Tool("unpack " + Q(dir.File("still.bfly")) + " " + Q(dir.File("still"))), 0);
  ExpectCases({{"pack " + Q(dir.File("still")) + " -o " + Q(dir.File("s.bfly")), 0, "no joints"}});
  // Each texture's alpha rule sits in its own directory entry.
  ASSERT_EQ(Tool(out + model + texture + "=key" + texture + "=brightness" + name), 0);
  const std::string bytes = ReadFile(dir.File("out.bfly"));
  EXPECT_EQ(U32(bytes, U32(bytes, 60) + 12), 1u);
  EXPECT_EQ(U32(bytes, U32(bytes, 60) + 16 + 12), 2u);
}

}  // namespace
