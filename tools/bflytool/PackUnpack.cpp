// bflytool pack and unpack: a ".bfly" file from its parts and back.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "datafiles/BFLYFILE.h"
#include "models/MS3D.h"
#include "tools/LumpWriter.h"
#include "tools/bflytool/Commands.h"
#include "tools/bflytool/Manifest.h"
#include "tools/bflytool/ToolSupport.h"
#include "util/MemoryStream.h"
#include "util/Texture.h"

namespace {

std::string JoinPath(const std::string& dir, const std::string& file) {
  if (file.empty() || file[0] == '/' || dir.empty()) return file;
  return dir.back() == '/' ? dir + file : dir + "/" + file;
}

// Loads the parts a manifest names and checks each with the saver's own
// readers; false with one line in `error`.
bool BuildFromManifest(const Manifest& m, const std::string& dir, std::string* bytes,
                       std::string* warning, std::string* error) {
  if (m.name.empty() || m.name.size() > 39) {
    *error = "the display name must have 1 to 39 bytes";
    return false;
  }
  MessageCapture capture;
  std::vector<LumpSpec> lumps;
  LumpSpec model;
  if (!ReadFile(JoinPath(dir, m.model), &model.bytes)) {
    *error = JoinPath(dir, m.model) + ": cannot be read";
    return false;
  }
  {
    MemoryStream stream(model.bytes.data(), model.bytes.size());
    MS3D check;
    if (!check.LoadFromFStream(&stream)) {
      *error = JoinPath(dir, m.model) + ": not a MilkShape 3D model the saver reads";
      return false;
    }
    int left = -1, right = -1;
    for (size_t j = 0; j < check.joints.size(); ++j) {
      if (std::string(check.joints[j].name) == "wingl") left = static_cast<int>(j);
      if (std::string(check.joints[j].name) == "wingr") right = static_cast<int>(j);
    }
    if (left < 1 || right < 1) {
      *warning = "no joints \"wingl\" and \"wingr\" at index 1 or more; the wings will not move";
    }
  }
  model.type = 0;
  lumps.push_back(model);
  uint64_t alphaPixels = 0;
  if (!m.alpha.empty()) {
    LumpSpec alpha;
    const std::string path = JoinPath(dir, m.alpha);
    if (!ReadFile(path, &alpha.bytes)) {
      *error = path + ": cannot be read";
      return false;
    }
    const TgaFacts f = ReadTgaFacts(alpha.bytes);
    MemoryStream stream(alpha.bytes.data(), alpha.bytes.size());
    Texture t;
    if (!f.valid || !LoadTGA2(&t, &stream)) {
      *error = path + ": not a TGA image the saver reads (types 2 and 10, 24 or 32 bits)";
      return false;
    }
    alphaPixels = static_cast<uint64_t>(f.width) * f.height;
    alpha.type = 1;
    lumps.push_back(alpha);
  }
  for (size_t k = 0; k < m.textures.size(); ++k) {
    LumpSpec tex;
    const std::string path = JoinPath(dir, m.textures[k].first);
    if (!ReadFile(path, &tex.bytes)) {
      *error = path + ": cannot be read";
      return false;
    }
    const TgaFacts f = ReadTgaFacts(tex.bytes);
    MemoryStream stream(tex.bytes.data(), tex.bytes.size());
    Texture t;
    if (!f.valid || !LoadTGA2(&t, &stream)) {
      *error = path + ": not a TGA image the saver reads (types 2 and 10, 24 or 32 bits)";
      return false;
    }
    if (!m.alpha.empty() && static_cast<uint64_t>(f.width) * f.height > alphaPixels) {
      *error = path + ": larger than the shared alpha image";
      return false;
    }
    tex.type = 1;
    lumps.push_back(tex);
  }
  // Texture k is built with the alpha rule of directory entry k, the entry
  // before its own lump; the last lump's own entry repeats its rule.
  if (m.alpha.empty()) {
    for (size_t k = 0; k < m.textures.size(); ++k) lumps[k].alphaMode = m.textures[k].second;
    lumps.back().alphaMode = m.textures.back().second;
  }
  BflyHeaderSpec header;
  header.name = m.name;
  header.versionMajor = 1;
  header.versionMinor = 0;
  header.flags = 0;
  header.infoByte = static_cast<uint8_t>(m.info);
  header.modelScale = static_cast<uint8_t>(m.scale);
  header.hasAlphaLump = m.alpha.empty() ? 0 : 1;
  *bytes = MakeBflyFile(header, lumps);
  return true;
}

}  // namespace

int PackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Manifest m;
  std::string dir, output;
  bool force = false, haveParts = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--force") {
      force = true;
    } else if ((a == "-o" || a == "--output") && hasValue) {
      output = args[++i];
    } else if (a == "--model" && hasValue) {
      m.model = args[++i];
      haveParts = true;
    } else if (a == "--alpha" && hasValue) {
      m.alpha = args[++i];
      haveParts = true;
    } else if (a == "--name" && hasValue) {
      m.name = args[++i];
      haveParts = true;
    } else if (a == "--scale" && hasValue) {
      char* end = nullptr;
      const long v = std::strtol(args[++i].c_str(), &end, 10);
      if (!end || *end || v < 1 || v > 255) {
        err << "bflytool pack: --scale is a whole per cent from 1 to 255\n";
        return 2;
      }
      m.scale = static_cast<int>(v);
    } else if (a == "--texture" && hasValue) {
      const std::string v = args[++i];
      const size_t eq = v.rfind('=');
      int32_t rule = 0;
      if (eq != std::string::npos) {
        const auto r = ParseAlphaRule(v.substr(eq + 1));
        if (!r) {
          err << "bflytool pack: alpha rule of " << v << " is not opaque, key or brightness\n";
          return 2;
        }
        rule = *r;
      }
      m.textures.emplace_back(v.substr(0, eq), rule);
      haveParts = true;
    } else if (!a.empty() && a[0] != '-' && dir.empty()) {
      dir = a;
    } else {
      err << "bflytool pack: unexpected argument " << a << "\n";
      return 2;
    }
  }
  if (output.empty()) {
    err << "bflytool pack: no output file (-o OUT.bfly)\n";
    return 2;
  }
  if (!dir.empty() && haveParts) {
    err << "bflytool pack: give either a folder with a manifest or the parts, not both\n";
    return 2;
  }
  if (!dir.empty()) {
    std::string text, error;
    const std::string path = JoinPath(dir, "manifest.txt");
    if (!ReadFile(path, &text)) {
      err << path << ": cannot be read\n";
      return 1;
    }
    if (!ParseManifest(text, &m, &error)) {
      err << path << ": " << error << "\n";
      return 1;
    }
  } else if (m.model.empty() || m.textures.empty()) {
    err << "bflytool pack: needs --model and at least one --texture (or a folder)\n";
    return 2;
  }
  if (!force && FileExists(output)) {
    err << output << ": exists (use --force to replace it)\n";
    return 1;
  }
  std::string bytes, warning, error;
  if (!BuildFromManifest(m, dir, &bytes, &warning, &error)) {
    err << "bflytool pack: " << error << "\n";
    return 1;
  }
  if (!warning.empty()) err << "bflytool pack: warning: " << warning << "\n";
  if (!WriteFileChecked(output, bytes, force, &error)) {
    err << error << "\n";
    return 1;
  }
  out << output << ": " << bytes.size() << " bytes, " << m.textures.size() << " textures\n";
  return 0;
}

int UnpackCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<std::string> positional;
  bool force = false;
  for (const std::string& a : args) {
    if (a == "--force") force = true;
    else if (!a.empty() && a[0] == '-') {
      err << "bflytool unpack: unknown option " << a << "\n";
      return 2;
    } else positional.push_back(a);
  }
  if (positional.size() != 2) {
    err << "bflytool unpack: usage: bflytool unpack FILE DIR [--force]\n";
    return 2;
  }
  const std::string& path = positional[0];
  const std::string& dir = positional[1];
  BFLYFILE file;
  if (!file.Open(path.c_str())) {
    err << path << ": not a readable butterfly type (magic, length check, version or flags)\n";
    return 1;
  }
  const bool shared = file.header.hasAlphaLump != 0;
  const size_t first = shared ? 2 : 1;
  if (file.directory.size() <= first) {
    err << path << ": holds no texture\n";
    return 1;
  }
  Manifest m;
  m.name = file.header.name;
  m.scale = file.header.modelScale;
  m.info = file.header.infoByte;
  m.model = "model.ms3d";
  if (shared) m.alpha = "alpha.tga";
  std::vector<std::pair<std::string, std::string>> parts;  // file name, bytes
  for (size_t i = 0; i < file.directory.size(); ++i) {
    std::string bytes;
    if (!ReadLump(&file, static_cast<int>(i), &bytes)) {
      err << path << ": lump " << i << " lies outside the file\n";
      return 1;
    }
    if (i == 0) {
      parts.emplace_back(m.model, bytes);
    } else if (shared && i == 1) {
      parts.emplace_back(m.alpha, bytes);
    } else {
      const size_t k = i - first;
      const std::string name = "texture-" + std::to_string(k) + ".tga";
      // Texture k's alpha rule is that of directory entry k.
      m.textures.emplace_back(name, shared ? 0 : file.directory[k].alphaMode);
      parts.emplace_back(name, bytes);
    }
  }
  parts.emplace_back("manifest.txt", FormatManifest(m));
  if (!FileExists(dir) && mkdir(dir.c_str(), 0777) != 0) {
    err << dir << ": cannot be created\n";
    return 1;
  }
  if (!force) {
    for (const auto& [name, bytes] : parts) {
      if (FileExists(JoinPath(dir, name))) {
        err << JoinPath(dir, name) << ": exists (use --force to replace it)\n";
        return 1;
      }
    }
  }
  for (const auto& [name, bytes] : parts) {
    std::string error;
    if (!WriteFileChecked(JoinPath(dir, name), bytes, true, &error)) {
      err << error << "\n";
      return 1;
    }
  }
  out << dir << ": " << parts.size() << " files\n";
  return 0;
}
