#pragma once
// The per-module settings store of the screen-saver host.
//
// Each module keeps its settings in one property-list file of its own user,
// $XDG_CONFIG_HOME/wingdrift/<module>.plist ($HOME/.config when the variable
// is unset, empty or not an absolute path). The file is read once, when the
// store is opened; reads and writes then work on the copy in memory and
// synchronize() saves it.
//
// Reads follow the user-defaults conventions: an absent key reads as no
// string, false or 0, and a value of another kind is converted the way the
// defaults convert it (a number reads as its decimal text, a string holding a
// number reads as that number, "YES"/"true"/"1" read as true).
//
// Saving never damages the store: the new contents go to a temporary file in
// the same folder, which is flushed to disk and then renamed over the old
// file. A file that cannot be read or parsed reads as an empty store (so the
// caller writes its first-run defaults); before anything can replace it, it
// is moved aside under a name of its own ("<module>.plist.damaged-<time>",
// never reusing an existing name), so nothing the user had is lost.
//
// The file is opened without blocking and read only when it is a regular
// file: a FIFO or a device in its place counts as unreadable.
//
// Not thread-safe; one process may hold several stores.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ScreenSaverDefaults {
 public:
  // Opens (reads) the store of the module.
  explicit ScreenSaverDefaults(const char* moduleName);
  ~ScreenSaverDefaults();
  ScreenSaverDefaults(const ScreenSaverDefaults&) = delete;
  ScreenSaverDefaults& operator=(const ScreenSaverDefaults&) = delete;

  // Where the store of a module lives; empty when neither XDG_CONFIG_HOME nor
  // a home folder is known.
  static std::string PathForModule(const char* moduleName);

  // What a stored value is, before any conversion.
  enum class Kind { Absent, Text, Integer, Real, Truth, Other };
  Kind kindForKey(const char* key) const;
  // Every stored key, in the file's order.
  std::vector<std::string> keys() const;

  std::optional<std::string> stringForKey(const char* key) const;
  bool boolForKey(const char* key) const;
  int64_t integerForKey(const char* key) const;

  // A null value removes the key.
  void setObject(const char* value, const char* key);
  void setBool(bool value, const char* key);
  void setInteger(int64_t value, const char* key);

  // Saves the store if it changed since it was read or last saved. False when
  // the save is not known to have reached the disk; the file then holds the
  // previous or the new contents, never a mix.
  bool synchronize();

  const std::string& path() const { return path_; }
  // Where an unreadable file found at opening was moved; empty when none.
  const std::string& damagedCopy() const { return damagedCopy_; }
  // An unreadable file was found at opening and could not be moved aside, so
  // nothing will be saved over it.
  bool blocked() const { return blocked_; }
  // Keeps the file as it was read under a name of its own
  // ("<module>.plist.previous-<time>", never reusing an existing name), before
  // new contents replace it. True with the copy's path in *copyPath; false
  // when there is no file or no copy could be made.
  bool KeepCopy(std::string* copyPath);
  // Why the last synchronize() failed (the system's words); empty when it did
  // not.
  const std::string& saveError() const { return saveError_; }

 private:
  void Read();
  bool KeepDamagedFile();
  // Moves (or, with move false, copies) the file to the first free name
  // "<path><suffix><time>[-n]"; the name in *kept.
  bool KeepUnderFreeName(const char* suffix, bool move, std::string* kept);
  bool WriteAtomically(const char* bytes, size_t size);

  std::string path_;
  std::string damagedCopy_;
  std::string saveError_;
  std::vector<char> original_;  // the file's bytes as read
  void* dict_ = nullptr;  // plist_t, a dictionary; owned
  bool dirty_ = false;
  // An unusable file is still in place (it could not be moved aside), so it
  // must not be replaced.
  bool blocked_ = false;
};
