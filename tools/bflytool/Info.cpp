// bflytool info: what a ".bfly" or "QORF" file holds, as text or JSON.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "datafiles/BFLYDATA.h"
#include "datafiles/BFLYFILE.h"
#include "datafiles/RESFILE.h"
#include "models/MS3D.h"
#include "tools/bflytool/Commands.h"
#include "tools/bflytool/ToolSupport.h"
#include "util/CString.h"

namespace {

std::string Json(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

struct LumpFacts {
  uint32_t size = 0;
  uint32_t offset = 0;
  uint32_t type = 0;
  int32_t alphaMode = 0;
  std::string role;  // "model", "alpha image", "texture 2", "image", "data"
  TgaFacts tga;
};

std::string LumpsText(const std::vector<LumpFacts>& lumps) {
  std::ostringstream s;
  s << "  lumps: " << lumps.size() << "\n";
  for (size_t i = 0; i < lumps.size(); ++i) {
    const LumpFacts& l = lumps[i];
    s << "    " << i << ": " << l.size << " bytes at " << l.offset << ", type " << l.type
      << ", alpha rule " << l.alphaMode << " (" << AlphaRuleName(l.alphaMode) << "), " << l.role;
    if (l.tga.valid) {
      s << ", " << l.tga.width << "x" << l.tga.height << " " << l.tga.bpp << "-bit"
        << (l.tga.runLength ? " run-length" : "");
    }
    s << "\n";
  }
  return s.str();
}

std::string LumpsJson(const std::vector<LumpFacts>& lumps) {
  std::string s = "[";
  for (size_t i = 0; i < lumps.size(); ++i) {
    const LumpFacts& l = lumps[i];
    if (i) s += ", ";
    s += "{\"index\": " + std::to_string(i) + ", \"size\": " + std::to_string(l.size) +
         ", \"offset\": " + std::to_string(l.offset) + ", \"type\": " + std::to_string(l.type) +
         ", \"alphaMode\": " + std::to_string(l.alphaMode) + ", \"role\": " + Json(l.role);
    if (l.tga.valid) {
      s += ", \"width\": " + std::to_string(l.tga.width) + ", \"height\": " +
           std::to_string(l.tga.height) + ", \"bpp\": " + std::to_string(l.tga.bpp) +
           ", \"runLength\": " + (l.tga.runLength ? "true" : "false");
    }
    s += "}";
  }
  return s + "]";
}

template <typename Reader>
std::vector<LumpFacts> ReadLumps(Reader* reader) {
  std::vector<LumpFacts> lumps;
  for (size_t i = 0; i < reader->directory.size(); ++i) {
    const auto& e = reader->directory[i];
    LumpFacts l;
    l.size = e.size;
    l.offset = e.offset;
    l.type = e.type;
    l.alphaMode = e.alphaMode;
    std::string bytes;
    if (e.type == 1 && ReadLump(reader, static_cast<int>(i), &bytes)) l.tga = ReadTgaFacts(bytes);
    lumps.push_back(l);
  }
  return lumps;
}

int InfoButterfly(const std::string& path, bool json, float size, std::ostream& out,
                  std::ostream& err) {
  BFLYFILE file;
  if (!file.Open(path.c_str())) {
    err << path << ": not a readable butterfly type (magic, length check, version or flags)\n";
    return 1;
  }
  const BFLYHEADER& h = file.header;
  std::vector<LumpFacts> lumps = ReadLumps(&file);
  const bool shared = h.hasAlphaLump != 0;
  for (size_t i = 0; i < lumps.size(); ++i) {
    if (i == 0) lumps[i].role = "model";
    else if (shared && i == 1) lumps[i].role = "alpha image";
    else lumps[i].role = "texture " + std::to_string(i - (shared ? 2 : 1));
  }

  MessageCapture capture;
  MS3D model;
  const bool modelOk = file.SeekLump(0) && model.LoadFromFStream(&file.stream);
  std::string problem;
  BFLYDATA data;
  bool loaded = false;
  if (!ToolGL(16, 16, &problem)) {
    err << path << ": " << problem << "\n";
  } else {
    loaded = data.Load(&file, size);
    if (!loaded) problem = capture.Joined().empty() ? "the type loader refused it" : capture.Joined();
  }

  if (json) {
    out << "{\"file\": " << Json(path) << ", \"kind\": \"butterfly\", \"name\": " << Json(h.name)
        << ", \"version\": \"" << int(h.versionMajor) << "." << int(h.versionMinor)
        << "\", \"flags\": " << h.flags << ", \"infoByte\": " << int(h.infoByte)
        << ", \"modelScale\": " << int(h.modelScale) << ", \"hasAlphaLump\": "
        << (shared ? "true" : "false") << ", \"fileLength\": " << file.fileLength
        << ", \"lumps\": " << LumpsJson(lumps);
    if (modelOk) {
      out << ", \"model\": {\"vertices\": " << model.numVertices << ", \"triangles\": "
          << model.numTriangles << ", \"groups\": " << model.numGroups << ", \"materials\": "
          << model.numMaterials << ", \"joints\": [";
      for (size_t j = 0; j < model.joints.size(); ++j) {
        out << (j ? ", " : "") << "{\"name\": " << Json(model.joints[j].name)
            << ", \"parent\": " << Json(model.joints[j].parentName) << "}";
      }
      out << "]}";
    }
    if (loaded) {
      out << ", \"size\": " << Num(size) << ", \"radius\": " << Num(data.radius)
          << ", \"wingLeftJoint\": " << data.wingLeftJoint << ", \"wingRightJoint\": "
          << data.wingRightJoint << ", \"textureCount\": " << data.textureCount;
    } else {
      out << ", \"error\": " << Json(problem);
    }
    out << "}\n";
  } else {
    out << path << "\n  butterfly type \"" << h.name << "\", version " << int(h.versionMajor)
        << "." << int(h.versionMinor) << ", flags " << h.flags << ", info byte "
        << int(h.infoByte) << ", model scale " << int(h.modelScale) << "%, shared alpha "
        << (shared ? "yes" : "no") << ", " << file.fileLength << " bytes\n"
        << LumpsText(lumps);
    if (modelOk) {
      out << "  model: " << model.numVertices << " vertices, " << model.numTriangles
          << " triangles, " << model.numGroups << " groups, " << model.numMaterials
          << " materials, " << model.numJoints << " joints\n";
      for (size_t j = 0; j < model.joints.size(); ++j) {
        out << "    joint " << j << ": " << model.joints[j].name;
        if (model.joints[j].parentName[0]) out << " (parent " << model.joints[j].parentName << ")";
        out << "\n";
      }
    } else {
      out << "  model: unreadable\n";
    }
    if (loaded) {
      out << "  at size " << Num(size) << ": radius " << Num(data.radius)
          << ", wing joints left " << data.wingLeftJoint << " right " << data.wingRightJoint
          << ", " << data.textureCount << " textures\n";
    } else if (!problem.empty()) {
      out << "  does not load: " << problem << "\n";
    }
  }
  return loaded ? 0 : 1;
}

int InfoResource(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
  RESFILE file;
  if (!file.Open(path.c_str())) {
    err << path << ": not a readable resource pack (magic, length check or directory)\n";
    return 1;
  }
  std::vector<LumpFacts> lumps = ReadLumps(&file);
  for (LumpFacts& l : lumps) l.role = l.type == 1 ? "image" : "data";
  if (json) {
    out << "{\"file\": " << Json(path) << ", \"kind\": \"resource\", \"fileLength\": "
        << file.fileLength << ", \"lumps\": " << LumpsJson(lumps) << "}\n";
  } else {
    out << path << "\n  resource pack, " << file.fileLength << " bytes\n" << LumpsText(lumps);
  }
  return 0;
}

}  // namespace

int InfoCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool json = false;
  float size = 1.0f;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--size" && i + 1 < args.size()) {
      char* end = nullptr;
      size = std::strtof(args[++i].c_str(), &end);
      if (!end || *end || !(size > 0.0f) || size > 10.0f) {
        err << "bflytool info: --size takes a number above 0 (1.0 is full size)\n";
        return 2;
      }
    } else if (!args[i].empty() && args[i][0] == '-') {
      err << "bflytool info: unknown option " << args[i] << "\n";
      return 2;
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.empty()) {
    err << "bflytool info: no file given\n";
    return 2;
  }
  int status = 0;
  for (const std::string& f : files) {
    switch (DetectKind(f)) {
      case FileKind::Butterfly:
        status = std::max(status, InfoButterfly(f, json, size, out, err));
        break;
      case FileKind::ResourcePack:
        status = std::max(status, InfoResource(f, json, out, err));
        break;
      case FileKind::Missing:
        err << f << ": cannot be opened\n";
        status = 1;
        break;
      case FileKind::Unknown:
        err << f << ": neither a butterfly type nor a resource pack\n";
        status = 1;
        break;
    }
  }
  return status;
}
