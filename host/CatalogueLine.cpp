#include "host/CatalogueLine.h"

#include <plist/plist.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "util/CString.h"

namespace {

struct PlistFree {
  void operator()(void* p) const { plist_free(static_cast<plist_t>(p)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

bool ParseSize(const std::string& text, int64_t* size) {
  if (text.empty() || text.size() > 18) return false;  // 18 digits always fit in 63 bits
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *size = v;
  return true;
}

bool ParseSha256(const std::string& text, char (&out)[65]) {
  if (text.size() != 64) return false;
  for (size_t i = 0; i < 64; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    out[i] = c;
  }
  out[64] = '\0';
  return true;
}

}  // namespace

bool ParseCatalogue(const char* body, size_t size, std::vector<std::string>* lines) {
  lines->clear();
  if (body == nullptr || size == 0 || size > std::numeric_limits<uint32_t>::max()) return false;
  plist_t raw = nullptr;
  plist_from_xml(body, static_cast<uint32_t>(size), &raw);
  const PlistPtr root(raw);
  if (!root || plist_get_node_type(raw) != PLIST_ARRAY) return false;
  const uint32_t count = plist_array_get_size(raw);
  std::vector<std::string> out;
  out.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    plist_t item = plist_array_get_item(raw, i);
    if (item == nullptr || plist_get_node_type(item) != PLIST_STRING) return false;
    // Not plist_get_string_val: it asserts (aborts) on a string holding a
    // NUL character, which a catalogue can spell as "&#0;".
    uint64_t length = 0;
    const char* value = plist_get_string_ptr(item, &length);
    if (value == nullptr) return false;
    out.emplace_back(value, static_cast<size_t>(length));
  }
  *lines = std::move(out);
  return true;
}

bool SplitCatalogueLine(const std::string& line, DOWNLOADDATA* entry) {
  std::vector<std::string> parts;
  size_t start = 0;
  // Only the first four parts mean anything.
  while (parts.size() < 4) {
    const size_t end = line.find(';', start);
    parts.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (parts.size() < 2) return false;
  *entry = DOWNLOADDATA{};
  CopyCString(entry->name, parts[0].c_str(), parts[0].size());
  CopyCString(entry->location, parts[1].c_str(), parts[1].size());
  if (parts.size() > 2 && !parts[2].empty() && !ParseSize(parts[2], &entry->size)) return false;
  if (parts.size() > 3 && !parts[3].empty() && !ParseSha256(parts[3], entry->sha256)) return false;
  return true;
}

std::string FormatCatalogue(const std::vector<std::string>& lines) {
  const PlistPtr root(plist_new_array());
  for (const std::string& line : lines) plist_array_append_item(root.get(), plist_new_string(line.c_str()));
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  std::string text = xml ? std::string(xml, length) : std::string();
  if (xml) plist_to_xml_free(xml);
  return text;
}
