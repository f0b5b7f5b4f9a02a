// bflytool validate: loads each file exactly as the saver does and says
// "ok" or what is wrong, one line per finding.
#include <algorithm>
#include <memory>

#include "datafiles/BFLYDATA.h"
#include "datafiles/BFLYFILE.h"
#include "datafiles/ResourcePack.h"
#include "tools/bflytool/Commands.h"
#include "tools/bflytool/ToolSupport.h"
#include "util/Texture.h"

namespace {

struct Finding {
  bool error = false;
  std::string text;
};

// The images the scene draws from the resource pack, by lump index, and the
// size it draws each at.
struct SceneImage {
  int lump;
  uint32_t width;
  uint32_t height;
};
constexpr SceneImage kSceneImages[] = {{1, 256, 32},  {2, 256, 64},  {3, 256, 128}, {4, 512, 32},
                                       {5, 512, 32},  {6, 512, 32},  {7, 512, 32}};

std::vector<Finding> CheckButterfly(const std::string& path) {
  std::vector<Finding> findings;
  BFLYFILE file;
  if (!file.Open(path.c_str())) {
    findings.push_back({true, "not a readable butterfly type (magic, length check, version 1.0 or "
                              "0.x, flags bit 0, directory)"});
    return findings;
  }
  const std::string name = file.header.name;
  if (name.empty()) findings.push_back({false, "warning: no display name"});
  if (name.size() > 39) {
    findings.push_back({false, "warning: the display name fills all 40 bytes; the saver shows 39"});
  }
  MessageCapture capture;
  std::string problem;
  if (!ToolGL(16, 16, &problem)) {
    findings.push_back({true, problem});
    return findings;
  }
  BFLYDATA data;
  if (!data.Load(&file, 1.0f)) {
    const std::string said = capture.Joined();
    findings.push_back({true, "does not load" + (said.empty() ? std::string() : ": " + said)});
    return findings;
  }
  if (data.wingLeftJoint < 1 || data.wingRightJoint < 1) {
    findings.push_back({false, "warning: no joints \"wingl\" and \"wingr\" at index 1 or more; "
                               "the wings will not move"});
  }
  for (int k = 0; k < data.textureCount; ++k) {
    if (data.textures[static_cast<size_t>(k)].texID == 0) {
      findings.push_back({false, "warning: texture " + std::to_string(k) +
                                     " is not an image lump; butterflies drawing it are blank"});
    }
  }
  return findings;
}

std::vector<Finding> CheckResourcePack(const std::string& path) {
  std::vector<Finding> findings;
  MessageCapture capture;
  std::string problem;
  if (!ToolGL(16, 16, &problem)) {
    findings.push_back({true, problem});
    return findings;
  }
  std::unique_ptr<Texture[]> textures;
  int count = 0;
  if (!LoadTexturesFromDataFile(path.c_str(), &textures, &count)) {
    const std::string said = capture.Joined();
    findings.push_back({true, "does not load" + (said.empty() ? std::string() : ": " + said)});
    return findings;
  }
  for (const SceneImage& image : kSceneImages) {
    if (image.lump >= count || textures[static_cast<size_t>(image.lump)].texID == 0) {
      findings.push_back({true, "lump " + std::to_string(image.lump) +
                                    ": the scene draws an image from it, but it holds none"});
      continue;
    }
    const Texture& t = textures[static_cast<size_t>(image.lump)];
    if (t.width != image.width || t.height != image.height) {
      findings.push_back({false, "warning: lump " + std::to_string(image.lump) + " is " +
                                     std::to_string(t.width) + "x" + std::to_string(t.height) +
                                     ", drawn at " + std::to_string(image.width) + "x" +
                                     std::to_string(image.height)});
    }
  }
  return findings;
}

}  // namespace

int ValidateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> files;
  for (const std::string& a : args) {
    if (!a.empty() && a[0] == '-') {
      err << "bflytool validate: unknown option " << a << "\n";
      return 2;
    }
    files.push_back(a);
  }
  if (files.empty()) {
    err << "bflytool validate: no file given\n";
    return 2;
  }
  int status = 0;
  for (const std::string& f : files) {
    std::vector<Finding> findings;
    switch (DetectKind(f)) {
      case FileKind::Butterfly: findings = CheckButterfly(f); break;
      case FileKind::ResourcePack: findings = CheckResourcePack(f); break;
      case FileKind::Missing: findings.push_back({true, "cannot be opened"}); break;
      case FileKind::Unknown:
        findings.push_back({true, "neither a butterfly type nor a resource pack"});
        break;
    }
    const bool failed = std::any_of(findings.begin(), findings.end(),
                                    [](const Finding& x) { return x.error; });
    for (const Finding& x : findings) (x.error ? err : out) << f << ": " << x.text << "\n";
    if (failed) status = 1;
    else out << f << ": ok\n";
  }
  return status;
}
