#include "tools/bflytool/ToolSupport.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "util/Diagnostics.h"

namespace {

// The hooks take plain functions, so the captured messages are module state;
// the tool runs one command at a time on one thread.
std::vector<std::string>* g_messages = nullptr;

void OnReport(const char* message) {
  if (g_messages) g_messages->push_back(message);
}

void OnAlert(const char* caption, const char* text) {
  if (g_messages) g_messages->push_back(std::string(caption) + ": " + text);
}

AlertHook g_previousAlert = nullptr;
ReportHook g_previousReport = nullptr;

}  // namespace

FileKind DetectKind(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return FileKind::Missing;
  char head[44] = {};
  in.read(head, sizeof head);
  const std::streamsize got = in.gcount();
  if (got >= 4 && std::memcmp(head, "QORF", 4) == 0) return FileKind::ResourcePack;
  if (got >= 44 && std::memcmp(head + 40, "BFLY", 4) == 0) return FileKind::Butterfly;
  return FileKind::Unknown;
}

MessageCapture::MessageCapture() {
  g_messages = new std::vector<std::string>;
  g_previousAlert = SetAlertHook(OnAlert);
  g_previousReport = SetErrorCloseHook(OnReport);
}

MessageCapture::~MessageCapture() {
  SetAlertHook(g_previousAlert);
  SetErrorCloseHook(g_previousReport);
  delete g_messages;
  g_messages = nullptr;
}

std::string MessageCapture::Joined() const {
  std::string out;
  if (!g_messages) return out;
  for (const std::string& m : *g_messages) {
    if (!out.empty()) out += "; ";
    out += m;
  }
  return out;
}

void MessageCapture::Clear() {
  if (g_messages) g_messages->clear();
}

OffscreenGL* ToolGL(int width, int height, std::string* error) {
  static OffscreenGL& gl = *new OffscreenGL;
  if (gl.width() >= width && gl.height() >= height && gl.MakeCurrent()) return &gl;
  // Previews are looked at closely: smooth edges.
  if (gl.Create(std::max(width, gl.width()), std::max(height, gl.height()), 4)) return &gl;
  *error = "no offscreen OpenGL context: " + gl.error();
  return nullptr;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return false;
  *bytes = s.str();
  return true;
}

bool WriteFileChecked(const std::string& path, const std::string& bytes, bool force,
                      std::string* error) {
  if (!force && FileExists(path)) {
    *error = path + ": exists (use --force to replace it)";
    return false;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    *error = path + ": cannot be written";
    return false;
  }
  return true;
}

const char* AlphaRuleName(int32_t rule) {
  switch (rule) {
    case 1: return "key";
    case 2: return "brightness";
    default: return "opaque";
  }
}

std::optional<int32_t> ParseAlphaRule(const std::string& name) {
  if (name == "opaque" || name == "0") return 0;
  if (name == "key" || name == "1") return 1;
  if (name == "brightness" || name == "2") return 2;
  return std::nullopt;
}

TgaFacts ReadTgaFacts(const std::string& bytes) {
  TgaFacts f;
  if (bytes.size() < 18) return f;
  const auto b = [&](size_t i) { return static_cast<uint8_t>(bytes[i]); };
  const uint8_t type = b(2);
  f.width = b(12) | (b(13) << 8);
  f.height = b(14) | (b(15) << 8);
  f.bpp = b(16);
  f.runLength = type == 10;
  f.valid = b(0) == 0 && b(1) == 0 && (type == 2 || type == 10) && f.width > 0 && f.height > 0 &&
            (f.bpp == 24 || f.bpp == 32);
  return f;
}
