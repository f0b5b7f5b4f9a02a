// bflytool as users run it: the installed program, its output and its exit
// status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/TempDir.h"

namespace {

const std::string kData = WINGDRIFT_BINARY_DIR "/data/";
const std::string kTool = WINGDRIFT_BINARY_DIR "/tools/bflytool/bflytool";

struct Result {
  int status = -1;
  std::string output;  // stdout and stderr together
};

// Runs bflytool with arguments already quoted for the shell.
Result RunTool(const std::string& args) {
  Result r;
  const std::string command = "\"" + kTool + "\" " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string Q(const std::string& s) { return "\"" + s + "\""; }

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

uint32_t U32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

TEST(Bflytool, InfoDescribesTypesAndResourcePacks) {
  {
    const Result r = RunTool(Q(kData + "GOT-F.bfly"));
    EXPECT_EQ(r.status, 2) << "no command";
  }
  {
    const Result r = RunTool("info " + Q(kData + "GOT-F.bfly"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "\"Golden Fritillary\", version 1.0, flags 0")) << r.output;
    EXPECT_TRUE(Has(r.output, "joint 1: wingl (parent body)")) << r.output;
    EXPECT_TRUE(Has(r.output, "wing joints left 1 right 2, 3 textures")) << r.output;
    EXPECT_TRUE(Has(r.output, "256x256 24-bit")) << r.output;
  }
  {
    const Result full = RunTool("info --json " + Q(kData + "GOT-F.bfly"));
    const Result small = RunTool("info --json --size 0.7 " + Q(kData + "GOT-F.bfly"));
    EXPECT_EQ(full.status, 0);
    EXPECT_TRUE(Has(full.output, "\"wingLeftJoint\": 1, \"wingRightJoint\": 2")) << full.output;
    EXPECT_TRUE(Has(full.output, "\"name\": \"Golden Fritillary\"")) << full.output;
    EXPECT_TRUE(Has(full.output, "\"radius\": 2.9")) << full.output;
    EXPECT_TRUE(Has(small.output, "\"radius\": 2.2")) << "scaled by 1 / 1.3: " << small.output;
  }
  {
    const Result r = RunTool("info " + Q(kData + "qorvane.vessimots"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "resource pack")) << r.output;
    EXPECT_TRUE(Has(r.output, "512x32 24-bit run-length")) << r.output;
  }
  {
    const Result r = RunTool("info /nonexistent.bfly");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "/nonexistent.bfly: cannot be opened\n");
    EXPECT_EQ(RunTool("info --bogus " + Q(kData + "GOT-F.bfly")).status, 2);
  }
}

TEST(Bflytool, ValidateSaysOkOrWhatIsWrongForEachFile) {
  TempDir dir;
  const std::string good = ReadAll(kData + "GOT-F.bfly");
  ASSERT_GT(good.size(), 1000u);
  {
    const Result r = RunTool("validate " + Q(kData + "GOT-F.bfly") + " " + Q(kData + "Monarch.bfly") +
                         " " + Q(kData + "qorvane.vessimots"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Has(r.output, "GOT-F.bfly: ok\n")) << r.output;
    EXPECT_TRUE(Has(r.output, "qorvane.vessimots: ok\n")) << r.output;
  }
  {  // Cut short: the length check no longer holds.
    const std::string path = dir.Write("short.bfly", good.substr(0, good.size() - 1));
    const Result r = RunTool("validate " + Q(path) + " " + Q(kData + "GOT-F.bfly"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.output, path + ": not a readable butterfly type")) << r.output;
    EXPECT_TRUE(Has(r.output, "GOT-F.bfly: ok")) << "the other file is still checked";
  }
  {  // Texture 0's image type made 3 (grey-scale): the TGA reader refuses it.
    std::string broken = good;
    const uint32_t directory = U32(broken, 60);
    const uint32_t lump1 = U32(broken, directory + 16 + 4);
    broken[lump1 + 2] = 3;
    const std::string path = dir.Write("grey.bfly", broken);
    const Result r = RunTool("validate " + Q(path));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.output, path + ": does not load: Invalid Image: TGA file be type 2 or type 10"))
        << r.output;
  }
  {  // A resource pack whose lump 3 is no image.
    std::string pack = ReadAll(kData + "qorvane.vessimots");
    const uint32_t directory = U32(pack, 20);
    pack[directory + 3 * 28 + 8] = 0;
    const std::string path = dir.Write("pack.vessimots", pack);
    const Result r = RunTool("validate " + Q(path));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.output, "lump 3: the scene draws an image from it, but it holds none"))
        << r.output;
  }
  {
    const std::string path = dir.Write("text.bfly", "hello");
    const Result r = RunTool("validate " + Q(path));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.output, "neither a butterfly type nor a resource pack")) << r.output;
  }
}

TEST(Bflytool, PackAndUnpackRoundTripEveryKindOfType) {
  // Plain, shared alpha image, colour key and run-length types.
  for (const char* name : {"GOT-F.bfly", "BlueMorpho.bfly", "Monarch.bfly", "CabbageWhite.bfly"}) {
    SCOPED_TRACE(name);
    TempDir dir;
    const std::string parts = dir.File("parts");
    const Result unpacked = RunTool("unpack " + Q(kData + name) + " " + Q(parts));
    ASSERT_EQ(unpacked.status, 0) << unpacked.output;
    const std::string manifest = ReadAll(parts + "/manifest.txt");
    EXPECT_TRUE(Has(manifest, "model = model.ms3d\n")) << manifest;
    EXPECT_TRUE(Has(manifest, "texture = texture-1.tga ")) << manifest;

    const std::string again = dir.File("again.bfly");
    const Result packed = RunTool("pack " + Q(parts) + " -o " + Q(again));
    ASSERT_EQ(packed.status, 0) << packed.output;
    EXPECT_TRUE(ReadAll(again) == ReadAll(kData + name)) << "the same bytes as the original";
  }
  {  // The parts given one by one give the same file.
    TempDir dir;
    const std::string parts = dir.File("parts");
    ASSERT_EQ(RunTool("unpack " + Q(kData + "BlueMorpho.bfly") + " " + Q(parts)).status, 0);
    const std::string out = dir.File("morpho.bfly");
    const Result r = RunTool("pack -o " + Q(out) + " --model " + Q(parts + "/model.ms3d") +
                         " --alpha " + Q(parts + "/alpha.tga") + " --texture " +
                         Q(parts + "/texture-0.tga") + " --texture " + Q(parts + "/texture-1.tga") +
                         " --texture " + Q(parts + "/texture-2.tga") +
                         " --name \"Blue Morpho\" --scale 116");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ReadAll(out) == ReadAll(kData + "BlueMorpho.bfly"));
    const Result valid = RunTool("validate " + Q(out));
    EXPECT_EQ(valid.status, 0) << valid.output;
  }
}

TEST(Bflytool, NothingIsOverwrittenWithoutForce) {
  TempDir dir;
  const std::string parts = dir.File("parts");
  ASSERT_EQ(RunTool("unpack " + Q(kData + "GOT-F.bfly") + " " + Q(parts)).status, 0);
  const std::string target = dir.Write("target.bfly", "keep me");
  {
    const Result r = RunTool("pack " + Q(parts) + " -o " + Q(target));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, target + ": exists (use --force to replace it)\n");
    EXPECT_EQ(ReadAll(target), "keep me");
    EXPECT_EQ(RunTool("pack " + Q(parts) + " -o " + Q(target) + " --force").status, 0);
    EXPECT_TRUE(ReadAll(target) == ReadAll(kData + "GOT-F.bfly"));
  }
  {
    std::ofstream(parts + "/manifest.txt") << "edited";
    const Result r = RunTool("unpack " + Q(kData + "GOT-F.bfly") + " " + Q(parts));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.output, "exists (use --force to replace it)")) << r.output;
    EXPECT_EQ(ReadAll(parts + "/manifest.txt"), "edited");
    EXPECT_EQ(RunTool("unpack " + Q(kData + "GOT-F.bfly") + " " + Q(parts) + " --force").status, 0);
    EXPECT_NE(ReadAll(parts + "/manifest.txt"), "edited");
  }
  {
    const std::string sheet = dir.Write("sheet.png", "keep me");
    const Result r = RunTool("preview " + Q(kData + "GOT-F.bfly") + " -o " + Q(sheet));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadAll(sheet), "keep me");
  }
}

TEST(Bflytool, PackRefusesPartsTheSaverCannotUse) {
  TempDir dir;
  const std::string parts = dir.File("parts");
  ASSERT_EQ(RunTool("unpack " + Q(kData + "GOT-F.bfly") + " " + Q(parts)).status, 0);
  const std::string model = Q(parts + "/model.ms3d");
  const std::string texture = Q(parts + "/texture-0.tga");
  {
    const Result r = RunTool("pack -o " + Q(dir.File("a.bfly")) + " --model " + model + " --texture " +
                         texture + " --name \"" + std::string(40, 'x') + "\"");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "bflytool pack: the display name must have 1 to 39 bytes\n");
  }
  {
    const std::string notImage = dir.Write("note.tga", "not an image at all");
    const Result r = RunTool("pack -o " + Q(dir.File("b.bfly")) + " --model " + model + " --texture " +
                         Q(notImage) + " --name Test");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.output, notImage + ": not a TGA image the saver reads")) << r.output;
  }
  {
    const Result r = RunTool("pack -o " + Q(dir.File("c.bfly")) + " --model " + texture +
                         " --texture " + texture + " --name Test");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.output, "not a MilkShape 3D model the saver reads")) << r.output;
  }
  {
    const Result r = RunTool("pack -o " + Q(dir.File("d.bfly")) + " --model " + model + " --texture " +
                         texture + "=glowing --name Test");
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::ifstream(dir.File("d.bfly")).good()) << "nothing written";
  }
  {
    const Result r = RunTool("pack -o " + Q(dir.File("e.bfly")) + " --model " + model + " --texture " +
                         texture + "=key --texture " + texture + "=brightness --name Test");
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string bytes = ReadAll(dir.File("e.bfly"));
    const uint32_t directory = U32(bytes, 60);
    EXPECT_EQ(U32(bytes, directory + 12), 1u) << "texture 0's rule sits in entry 0";
    EXPECT_EQ(U32(bytes, directory + 16 + 12), 2u) << "texture 1's rule sits in entry 1";
  }
}

TEST(Bflytool, PreviewWritesAContactSheet) {
  TempDir dir;
  {
    const std::string sheet = dir.File("sheet.png");
    const Result r = RunTool("preview " + Q(kData + "GOT-F.bfly") + " -o " + Q(sheet));
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string png = ReadAll(sheet);
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // Four wing angles across; three views of each of the three textures.
    const auto be32 = [&](size_t at) {
      return (static_cast<uint32_t>(static_cast<uint8_t>(png[at])) << 24) |
             (static_cast<uint32_t>(static_cast<uint8_t>(png[at + 1])) << 16) |
             (static_cast<uint32_t>(static_cast<uint8_t>(png[at + 2])) << 8) |
             static_cast<uint32_t>(static_cast<uint8_t>(png[at + 3]));
    };
    EXPECT_EQ(be32(16), 4u * 240u);
    EXPECT_EQ(be32(20), 44u + 9u * 240u);
  }
  {
    const std::string sheet = dir.File("pack.png");
    const Result r = RunTool("preview " + Q(kData + "qorvane.vessimots") + " -o " + Q(sheet));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadAll(sheet).substr(1, 3), "PNG");
  }
}

}  // namespace
