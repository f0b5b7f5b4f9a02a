#define G_SETTINGS_ENABLE_BACKEND
#include "platform/DesktopPicture.h"

#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>

#include "platform/DesktopConfigFiles.h"
#include <initializer_list>
#include <vector>

namespace {

// One desktop's setting: schema and key, and whether the value is a URI.
struct PictureKey {
  const char* desktop;  // as XDG_CURRENT_DESKTOP names it
  const char* schema;
  const char* key;
};

constexpr PictureKey kGnome{"GNOME", "org.gnome.desktop.background", "picture-uri"};
constexpr PictureKey kCinnamon{"Cinnamon", "org.cinnamon.desktop.background", "picture-uri"};
constexpr PictureKey kMate{"MATE", "org.mate.background", "picture-filename"};

// The schemas and backend one lookup uses; released on destruction.
class Settings {
 public:
  Settings(const std::string& schemaDir, const std::string& keyFile) {
    if (schemaDir.empty()) {
      source_ = g_settings_schema_source_get_default();
      if (source_ != nullptr) g_settings_schema_source_ref(source_);
    } else {
      source_ = g_settings_schema_source_new_from_directory(schemaDir.c_str(), nullptr, FALSE,
                                                            nullptr);
    }
    if (!keyFile.empty()) backend_ = g_keyfile_settings_backend_new(keyFile.c_str(), "/", nullptr);
  }
  ~Settings() {
    if (backend_ != nullptr) g_object_unref(backend_);
    if (source_ != nullptr) g_settings_schema_source_unref(source_);
  }
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;

  // The string value of schema/key; empty when the schema or the key is
  // missing or the key does not hold a string.
  std::string String(const char* schemaId, const char* key) const {
    if (source_ == nullptr) return {};
    GSettingsSchema* schema = g_settings_schema_source_lookup(source_, schemaId, TRUE);
    if (schema == nullptr) return {};
    std::string result;
    if (g_settings_schema_has_key(schema, key)) {
      GSettings* settings = g_settings_new_full(schema, backend_, nullptr);
      GVariant* value = g_settings_get_value(settings, key);
      if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
        result = g_variant_get_string(value, nullptr);
      }
      g_variant_unref(value);
      g_object_unref(settings);
    }
    g_settings_schema_unref(schema);
    return result;
  }

 private:
  GSettingsSchemaSource* source_ = nullptr;
  GSettingsBackend* backend_ = nullptr;
};

bool NamesDesktop(const char* currentDesktop, const char* name) {
  if (currentDesktop == nullptr) return false;
  // "X-Cinnamon" is how Cinnamon names itself.
  const size_t n = std::strlen(name);
  for (const char* p = currentDesktop; *p != '\0';) {
    const char* end = std::strchr(p, ':');
    const size_t len = end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p);
    const char* word = p;
    size_t wordLen = len;
    if (wordLen > 2 && std::strncmp(word, "X-", 2) == 0) {
      word += 2;
      wordLen -= 2;
    }
    if (wordLen == n && g_ascii_strncasecmp(word, name, n) == 0) return true;
    if (end == nullptr) break;
    p = end + 1;
  }
  return false;
}

std::string Lookup(const Settings& settings, const PictureKey& pk) {
  std::string value;
  if (&pk == &kGnome) {
    if (settings.String("org.gnome.desktop.interface", "color-scheme") == "prefer-dark") {
      value = settings.String(pk.schema, "picture-uri-dark");
    }
  }
  if (value.empty()) value = settings.String(pk.schema, pk.key);
  return DesktopPicture::PathFromUri(value);
}

}  // namespace

std::string DesktopPicture::PathFromUri(const std::string& uri) {
  if (uri.empty()) return {};
  if (uri[0] == '/') return uri;
  gchar* path = g_filename_from_uri(uri.c_str(), nullptr, nullptr);
  if (path == nullptr) return {};
  std::string result = path;
  g_free(path);
  return result;
}

std::string DesktopPicture::PathForScreen(int screenNumber, const std::string& monitorName) const {
  return PathForScreen(screenNumber, std::getenv("XDG_CURRENT_DESKTOP"), monitorName);
}

std::string DesktopPicture::PathForScreen(int screenNumber, const char* currentDesktop,
                                          const std::string& monitorName) const {
  const Settings settings(schemaDir_, keyFile_);
  const DesktopFolders folders = DesktopFolders::FromEnvironment();
  // Every desktop's lookup, in the fallback order.
  struct Source {
    const char* desktop;  // as XDG_CURRENT_DESKTOP names it; null: no desktop of its own
    std::function<std::string()> lookup;
  };
  const auto gsettings = [&](const PictureKey& pk) {
    std::string path = Lookup(settings, pk);
    // A slideshow (Debian's default is one): the picture it shows now.
    if (path.size() > 4 && g_ascii_strcasecmp(path.c_str() + path.size() - 4, ".xml") == 0) {
      path = SlideshowPicture(path, std::time(nullptr));
    }
    return path;
  };
  const Source sources[] = {
      {kGnome.desktop, [&] { return gsettings(kGnome); }},
      {kCinnamon.desktop, [&] { return gsettings(kCinnamon); }},
      {kMate.desktop, [&] { return gsettings(kMate); }},
      {"KDE", [&] { return KdePicture(folders, screenNumber); }},
      {"XFCE", [&] { return XfcePicture(folders, screenNumber, monitorName); }},
      {"LXQt", [&] { return LxqtPicture(folders); }},
      {nullptr, [&] { return FehPicture(folders, screenNumber); }},
  };
  // The running desktop's own setting first: the schemas and files of
  // several desktops are often there together, and only the running one
  // holds the user's current choice.
  for (const Source& s : sources) {
    if (s.desktop != nullptr && NamesDesktop(currentDesktop, s.desktop)) {
      std::string path = s.lookup();
      if (!path.empty()) return path;
    }
  }
  for (const Source& s : sources) {
    if (s.desktop != nullptr && NamesDesktop(currentDesktop, s.desktop)) continue;
    std::string path = s.lookup();
    if (!path.empty()) return path;
  }
  return {};
}
