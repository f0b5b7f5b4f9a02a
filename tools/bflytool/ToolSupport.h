#pragma once
// What the bflytool commands share: file kinds, message capture around the
// saver's loaders, a hidden GL context, and small file helpers.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/OffscreenGL.h"

enum class FileKind { Missing, Unknown, Butterfly, ResourcePack };

// By the magic: "BFLY" at offset 40, or "QORF" at offset 0.
FileKind DetectKind(const std::string& path);

// Collects what the saver's loaders report (ERRORCLOSE and the image
// reader's alerts) while it lives, instead of letting them reach stderr.
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  // The messages so far, joined with "; "; empty when none.
  std::string Joined() const;
  void Clear();
};

// The process's hidden GL context, made current with a colour buffer of at
// least width x height pixels, for building textures and rendering; null
// with `error` set when none can be made. Deliberately never destroyed:
// tearing Mesa down at exit only leaves its own allocations behind for leak
// checkers to report.
OffscreenGL* ToolGL(int width, int height, std::string* error);

bool FileExists(const std::string& path);
bool ReadFile(const std::string& path, std::string* bytes);
// Writes atomically enough for a tool: refuses an existing file unless
// `force`; `error` names the file and the reason.
bool WriteFileChecked(const std::string& path, const std::string& bytes, bool force,
                      std::string* error);

// Alpha rules as the directory stores them and as users write them.
const char* AlphaRuleName(int32_t rule);  // "opaque", "key", "brightness"
std::optional<int32_t> ParseAlphaRule(const std::string& name);

// Basic facts of a TGA image from its header bytes, without decoding it.
struct TgaFacts {
  bool valid = false;
  int width = 0;
  int height = 0;
  int bpp = 0;
  bool runLength = false;
};
TgaFacts ReadTgaFacts(const std::string& bytes);

// Reads lump `index` of an open reader into `bytes` (false when it is not
// wholly inside the file).
template <typename Reader>
bool ReadLump(Reader* reader, int index, std::string* bytes) {
  std::unique_ptr<uint8_t[]> data;
  if (!reader->LoadData(index, &data)) return false;
  const auto& entry = reader->directory[static_cast<size_t>(index)];
  bytes->assign(reinterpret_cast<const char*>(data.get()), entry.size);
  return true;
}
