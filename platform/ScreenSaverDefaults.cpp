#include "platform/ScreenSaverDefaults.h"

#include <dirent.h>
#include <fcntl.h>
#include <plist/plist.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

namespace {

// A settings file is a few hundred bytes; anything far larger is not ours.
constexpr off_t kMaxStoreBytes = 16 * 1024 * 1024;
// Temporary files left by a writer that died before renaming are removed
// once they are this old (a younger one may belong to a live writer).
constexpr time_t kStaleTemporarySeconds = 60 * 60;

plist_t Dict(void* p) { return static_cast<plist_t>(p); }

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// mkdir -p with private permissions for the folders it creates.
bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync folders
  close(fd);
  return ok;
}

// Renames without ever replacing an existing file.
bool RenameNoReplace(const std::string& from, const std::string& to, bool* exists) {
  *exists = false;
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST) {
    *exists = true;
    return false;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without RENAME_NOREPLACE: a hard link refuses existing names.
  if (link(from.c_str(), to.c_str()) != 0) {
    *exists = errno == EEXIST;
    return false;
  }
  unlink(from.c_str());
  return true;
}

// The user-defaults reading of text as an integer: leading blanks, an
// optional sign, then decimal digits up to the first other character;
// clamped to the 64-bit range; 0 when there are no digits.
int64_t TextToInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint64_t magnitude = 0;
  const uint64_t limit = negative ? uint64_t{1} << 63 : uint64_t{std::numeric_limits<int64_t>::max()};
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
  }
  if (negative) return magnitude == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                                        : -static_cast<int64_t>(magnitude);
  return static_cast<int64_t>(magnitude);
}

// The user-defaults reading of text as a truth value: after blanks, a sign
// and leading zeros, true on 'Y', 'y', 'T', 't' or a digit 1-9.
bool TextToBool(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  while (i < text.size() && text[i] == '0') ++i;
  if (i == text.size()) return false;
  const char c = text[i];
  return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

int64_t RealToInteger(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (v <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

int64_t NodeInteger(plist_t node) {
  uint64_t u = 0;
  plist_get_uint_val(node, &u);
  return static_cast<int64_t>(u);  // the file's integers are signed 64-bit
}

std::string NodeString(plist_t node) {
  uint64_t length = 0;
  const char* p = plist_get_string_ptr(node, &length);
  return p ? std::string(p, length) : std::string();
}

}  // namespace

ScreenSaverDefaults::ScreenSaverDefaults(const char* moduleName) : path_(PathForModule(moduleName)) {
  dict_ = plist_new_dict();
  Read();
}

ScreenSaverDefaults::~ScreenSaverDefaults() {
  if (dict_) plist_free(Dict(dict_));
  dict_ = nullptr;
}

std::string ScreenSaverDefaults::PathForModule(const char* moduleName) {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return std::string();
    base = std::string(home) + "/.config";
  }
  if (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/wingdrift/" + (moduleName ? moduleName : "") + ".plist";
}

void ScreenSaverDefaults::Read() {
  if (path_.empty()) return;

  // Leftovers of writers that died between writing and renaming.
  const std::string folder = Folder(path_);
  const std::string tempPrefix = BaseName(path_) + ".tmp-";
  if (DIR* dir = opendir(folder.c_str())) {
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(dir)) {
      if (std::strncmp(entry->d_name, tempPrefix.c_str(), tempPrefix.size()) != 0) continue;
      const std::string temp = folder + "/" + entry->d_name;
      struct stat st;
      if (lstat(temp.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
          now - st.st_mtime > kStaleTemporarySeconds)
        unlink(temp.c_str());
    }
    closedir(dir);
  }

  // Without blocking: a FIFO in the file's place would otherwise wait for a
  // writer for ever.
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    // No file (or no folder for it) is simply an empty store.
    if (errno != ENOENT && errno != ENOTDIR) blocked_ = !KeepDamagedFile();
    return;
  }
  struct stat st;
  std::vector<char> bytes;
  bool readable = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
                  st.st_size <= kMaxStoreBytes;
  if (readable) {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    readable = got == bytes.size();
  }
  close(fd);

  plist_t root = nullptr;
  if (readable) plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  if (root && plist_get_node_type(root) == PLIST_DICT) {
    plist_free(Dict(dict_));
    dict_ = root;
    original_ = std::move(bytes);
    return;
  }
  if (root) plist_free(root);
  blocked_ = !KeepDamagedFile();
}

bool ScreenSaverDefaults::KeepDamagedFile() {
  return KeepUnderFreeName(".damaged-", true, &damagedCopy_);
}

bool ScreenSaverDefaults::KeepCopy(std::string* copyPath) {
  if (original_.empty()) return false;
  return KeepUnderFreeName(".previous-", false, copyPath);
}

bool ScreenSaverDefaults::KeepUnderFreeName(const char* suffix, bool move, std::string* kept) {
  char stamp[32] = "";
  const time_t now = time(nullptr);
  tm local{};
  if (localtime_r(&now, &local)) strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path_ + suffix + stamp;
  for (int n = 1; n <= 1000; ++n) {
    const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
    bool exists = false;
    bool done = false;
    if (move) {
      done = RenameNoReplace(path_, candidate, &exists);
    } else {
      // The bytes that were read, not whatever the file holds now.
      const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      exists = fd < 0 && errno == EEXIST;
      if (fd >= 0) {
        done = WriteAll(fd, original_.data(), original_.size()) && fsync(fd) == 0;
        done = close(fd) == 0 && done;
        if (!done) unlink(candidate.c_str());
      }
    }
    if (done) {
      SyncFolder(Folder(path_));
      *kept = candidate;
      return true;
    }
    if (!exists) return false;
  }
  return false;
}

ScreenSaverDefaults::Kind ScreenSaverDefaults::kindForKey(const char* key) const {
  plist_t node = key ? plist_dict_get_item(Dict(dict_), key) : nullptr;
  if (!node) return Kind::Absent;
  switch (plist_get_node_type(node)) {
    case PLIST_STRING:
      return Kind::Text;
    case PLIST_UINT:
      return Kind::Integer;
    case PLIST_REAL:
      return Kind::Real;
    case PLIST_BOOLEAN:
      return Kind::Truth;
    default:
      return Kind::Other;
  }
}

std::vector<std::string> ScreenSaverDefaults::keys() const {
  std::vector<std::string> result;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(Dict(dict_), &it);
  if (!it) return result;
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(Dict(dict_), it, &key, &value);
    if (!key) break;
    result.emplace_back(key);
    free(key);
  }
  free(it);
  return result;
}

std::optional<std::string> ScreenSaverDefaults::stringForKey(const char* key) const {
  plist_t node = plist_dict_get_item(Dict(dict_), key);
  if (!node) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_STRING:
      return NodeString(node);
    case PLIST_UINT:
      return std::to_string(NodeInteger(node));
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return std::string(b ? "1" : "0");
    }
    case PLIST_REAL: {
      double v = 0;
      plist_get_real_val(node, &v);
      char text[64];
      const auto result = std::to_chars(text, text + sizeof text, v);  // shortest form: 1.1 reads "1.1"
      return std::string(text, result.ptr);
    }
    default:
      return std::nullopt;
  }
}

bool ScreenSaverDefaults::boolForKey(const char* key) const {
  plist_t node = plist_dict_get_item(Dict(dict_), key);
  if (!node) return false;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return b != 0;
    }
    case PLIST_UINT:
      return NodeInteger(node) != 0;
    case PLIST_REAL: {
      double v = 0;
      plist_get_real_val(node, &v);
      return v != 0;
    }
    case PLIST_STRING:
      return TextToBool(NodeString(node));
    default:
      return false;
  }
}

int64_t ScreenSaverDefaults::integerForKey(const char* key) const {
  plist_t node = plist_dict_get_item(Dict(dict_), key);
  if (!node) return 0;
  switch (plist_get_node_type(node)) {
    case PLIST_UINT:
      return NodeInteger(node);
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return b ? 1 : 0;
    }
    case PLIST_REAL: {
      double v = 0;
      plist_get_real_val(node, &v);
      return RealToInteger(v);
    }
    case PLIST_STRING:
      return TextToInteger(NodeString(node));
    default:
      return 0;
  }
}

void ScreenSaverDefaults::setObject(const char* value, const char* key) {
  if (!key) return;
  if (value) {
    plist_dict_set_item(Dict(dict_), key, plist_new_string(value));
  } else {
    plist_dict_remove_item(Dict(dict_), key);
  }
  dirty_ = true;
}

void ScreenSaverDefaults::setBool(bool value, const char* key) {
  if (!key) return;
  plist_dict_set_item(Dict(dict_), key, plist_new_bool(value ? 1 : 0));
  dirty_ = true;
}

void ScreenSaverDefaults::setInteger(int64_t value, const char* key) {
  if (!key) return;
  plist_dict_set_item(Dict(dict_), key, plist_new_uint(static_cast<uint64_t>(value)));
  dirty_ = true;
}

bool ScreenSaverDefaults::synchronize() {
  if (!dirty_) return true;
  saveError_.clear();
  if (path_.empty()) {
    saveError_ = "no home folder";
    return false;
  }
  if (blocked_) {
    saveError_ = "an unreadable file is in the way";
    return false;
  }
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(Dict(dict_), &xml, &length);
  if (!xml) {
    saveError_ = strerror(ENOMEM);
    return false;
  }
  errno = 0;
  const bool saved = WriteAtomically(xml, length);
  if (!saved) saveError_ = strerror(errno != 0 ? errno : EIO);
  plist_to_xml_free(xml);
  if (saved) dirty_ = false;
  return saved;
}

bool ScreenSaverDefaults::WriteAtomically(const char* bytes, size_t size) {
  const std::string folder = Folder(path_);
  if (!MakeFolders(folder)) return false;
  std::string temp = path_ + ".tmp-XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes, size) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), path_.c_str()) == 0;
  if (!ok) {
    const int saved = errno;
    unlink(temp.c_str());
    errno = saved;
    return false;
  }
  // The rename itself must reach the disk before the save counts as done.
  return SyncFolder(folder);
}
