#include "platform/DesktopConfigFiles.h"

#include <dirent.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "util/RegularFile.h"

namespace {

// No real configuration file comes near this.
constexpr size_t kMaxConfigBytes = 4 * 1024 * 1024;

bool ReadText(const std::string& path, std::string* text) {
  const int fd = OpenRegularFileDescriptor(path.c_str());
  if (fd < 0) return false;
  text->clear();
  char buffer[16384];
  bool ok = true;
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text->append(buffer, static_cast<size_t>(n));
    if (text->size() > kMaxConfigBytes) {
      ok = false;
      break;
    }
  }
  close(fd);
  return ok;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// A "file:" URI or an absolute path as a path.
std::string LocalPath(const std::string& value) {
  if (value.empty()) return {};
  if (value[0] == '/') return value;
  gchar* path = g_filename_from_uri(value.c_str(), nullptr, nullptr);
  if (path == nullptr) return {};
  std::string result = path;
  g_free(path);
  return result;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A wallpaper package: the largest picture of <package>/contents/images/,
// judged by the "WxH" its name starts with (else by file size).
std::string PackagePicture(const std::string& package) {
  std::string folder = package;
  if (folder.back() != '/') folder += '/';
  folder += "contents/images/";
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string best;
  double bestSize = -1;
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    unsigned w = 0, h = 0;
    double size = 0;
    if (std::sscanf(e->d_name, "%ux%u", &w, &h) == 2) {
      size = static_cast<double>(w) * h;
    } else {
      struct stat st;
      if (stat((folder + e->d_name).c_str(), &st) == 0) size = static_cast<double>(st.st_size) / 1e12;
    }
    if (size > bestSize) {
      bestSize = size;
      best = folder + e->d_name;
    }
  }
  closedir(dir);
  return best;
}

// INI-style text: group -> key -> value; group names are taken whole
// between the first '[' and the last ']' (KDE's nest brackets).
using Ini = std::map<std::string, std::map<std::string, std::string>>;

Ini ParseIni(const std::string& text) {
  Ini ini;
  std::string group;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(at, end - at));
    at = end + 1;
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.rfind(']');
      group = close != std::string::npos && close > 0 ? line.substr(1, close - 1) : std::string();
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    ini[group][Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
  }
  return ini;
}

// Qt writes strings with spaces or special characters in double quotes.
std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v;
}

// A shallow reading of xfconf's XML: the property path of every element
// with a value.
struct XfconfParse {
  std::vector<std::string> path;
  std::vector<std::pair<std::string, std::string>> values;  // "/a/b/c", value
};

void XfconfStart(GMarkupParseContext*, const gchar* element, const gchar** names,
                 const gchar** values, gpointer data, GError**) {
  XfconfParse& p = *static_cast<XfconfParse*>(data);
  std::string name, value;
  bool hasValue = false;
  for (int i = 0; names[i] != nullptr; ++i) {
    if (std::strcmp(names[i], "name") == 0) name = values[i];
    if (std::strcmp(names[i], "value") == 0) {
      value = values[i];
      hasValue = true;
    }
  }
  if (std::strcmp(element, "property") != 0) {
    p.path.push_back("");
    return;
  }
  p.path.push_back(name);
  if (hasValue) {
    std::string full;
    for (const std::string& part : p.path) {
      if (!part.empty()) full += "/" + part;
    }
    p.values.emplace_back(full, value);
  }
}

void XfconfEnd(GMarkupParseContext*, const gchar*, gpointer data, GError**) {
  XfconfParse& p = *static_cast<XfconfParse*>(data);
  if (!p.path.empty()) p.path.pop_back();
}

// GNOME's slideshow: the items in order with their durations.
struct Slide {
  double seconds = 0;
  std::string picture;  // the static picture, or a transition's "from"
  std::string to;       // a transition's end picture
  double bestSize = -1;
};

struct SlideshowParse {
  std::vector<std::string> stack;
  std::vector<Slide> slides;
  std::tm start{};
  bool hasStart = false;
  double sizeArea = 0;  // of the <size> element being read
  std::string text;
};

void SlideStart(GMarkupParseContext*, const gchar* element, const gchar** names,
                const gchar** values, gpointer data, GError**) {
  SlideshowParse& p = *static_cast<SlideshowParse*>(data);
  p.stack.push_back(element);
  p.text.clear();
  if (std::strcmp(element, "static") == 0 || std::strcmp(element, "transition") == 0) {
    p.slides.emplace_back();
  } else if (std::strcmp(element, "size") == 0) {
    double w = 0, h = 0;
    for (int i = 0; names[i] != nullptr; ++i) {
      if (std::strcmp(names[i], "width") == 0) w = std::atof(values[i]);
      if (std::strcmp(names[i], "height") == 0) h = std::atof(values[i]);
    }
    p.sizeArea = w * h;
  } else if (std::strcmp(element, "starttime") == 0) {
    p.hasStart = true;
  }
}

void SlideText(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**) {
  static_cast<SlideshowParse*>(data)->text.append(text, length);
}

void SlideEnd(GMarkupParseContext*, const gchar* element, gpointer data, GError**) {
  SlideshowParse& p = *static_cast<SlideshowParse*>(data);
  const std::string value = Trim(p.text);
  p.text.clear();
  const std::string parent = p.stack.size() >= 2 ? p.stack[p.stack.size() - 2] : "";
  if (!p.stack.empty()) p.stack.pop_back();
  const std::string name = element;
  if (parent == "starttime") {
    const int v = std::atoi(value.c_str());
    if (name == "year") p.start.tm_year = v - 1900;
    if (name == "month") p.start.tm_mon = v - 1;
    if (name == "day") p.start.tm_mday = v;
    if (name == "hour") p.start.tm_hour = v;
    if (name == "minute") p.start.tm_min = v;
    if (name == "second") p.start.tm_sec = v;
    return;
  }
  if (p.slides.empty()) return;
  Slide& s = p.slides.back();
  if (name == "duration") s.seconds = std::atof(value.c_str());
  if (name == "file" && !value.empty() && s.bestSize < 0) s.picture = value;
  if (name == "size" && p.sizeArea > s.bestSize) {
    s.bestSize = p.sizeArea;
    s.picture = value;
  }
  if (name == "from") s.picture = value;
  if (name == "to") s.to = value;
}

}  // namespace

DesktopFolders DesktopFolders::FromEnvironment() {
  DesktopFolders f;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') f.home = home;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    f.config = config;
  } else if (!f.home.empty()) {
    f.config = f.home + "/.config";
  }
  return f;
}

std::string KdePicture(const DesktopFolders& folders, int screenNumber) {
  std::string text;
  if (folders.config.empty() ||
      !ReadText(folders.config + "/plasma-org.kde.plasma.desktop-appletsrc", &text))
    return {};
  const Ini ini = ParseIni(text);
  std::string first, onScreen;
  for (const auto& [group, keys] : ini) {
    // "Containments][N][Wallpaper][org.kde.image][General"
    const std::string suffix = "][Wallpaper][org.kde.image][General";
    if (group.rfind("Containments][", 0) != 0 || group.size() <= suffix.size() ||
        group.compare(group.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    const auto image = keys.find("Image");
    if (image == keys.end() || image->second.empty()) continue;
    const std::string containment = group.substr(0, group.size() - suffix.size());
    const auto owner = ini.find(containment);
    const bool desktop = owner != ini.end() && owner->second.count("wallpaperplugin") != 0 &&
                         owner->second.at("wallpaperplugin") == "org.kde.image";
    if (!desktop) continue;
    if (first.empty()) first = image->second;
    const auto screen = owner->second.find("lastScreen");
    if (onScreen.empty() && screen != owner->second.end() &&
        screen->second == std::to_string(screenNumber))
      onScreen = image->second;
  }
  std::string path = LocalPath(onScreen.empty() ? first : onScreen);
  if (!path.empty() && IsFolder(path)) path = PackagePicture(path);
  return path;
}

std::string XfcePicture(const DesktopFolders& folders, int screenNumber, const std::string& monitorName) {
  std::string text;
  if (folders.config.empty() ||
      !ReadText(folders.config + "/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml", &text))
    return {};
  XfconfParse parse;
  GMarkupParser parser{};
  parser.start_element = XfconfStart;
  parser.end_element = XfconfEnd;
  GMarkupParseContext* context = g_markup_parse_context_new(&parser, G_MARKUP_DEFAULT_FLAGS, &parse, nullptr);
  const bool ok = g_markup_parse_context_parse(context, text.data(), static_cast<gssize>(text.size()), nullptr) &&
                  g_markup_parse_context_end_parse(context, nullptr);
  g_markup_parse_context_free(context);
  if (!ok) return {};
  // Monitors in the order listed, each with its workspace 0 picture.
  std::vector<std::pair<std::string, std::string>> monitors;  // name, picture
  const std::string prefix = "/backdrop/screen0/monitor";
  for (const auto& [path, value] : parse.values) {
    if (path.rfind(prefix, 0) != 0) continue;
    const size_t slash = path.find('/', prefix.size());
    if (slash == std::string::npos) continue;
    const std::string monitor = path.substr(prefix.size(), slash - prefix.size());
    const std::string rest = path.substr(slash);
    if (rest != "/workspace0/last-image" && rest != "/image-path") continue;
    bool known = false;
    for (auto& m : monitors) {
      if (m.first == monitor) {
        known = true;
        if (rest == "/workspace0/last-image") m.second = value;  // the newer key wins
      }
    }
    if (!known) monitors.emplace_back(monitor, value);
  }
  if (monitors.empty()) return {};
  for (const auto& m : monitors) {
    if (!monitorName.empty() && m.first == monitorName) return LocalPath(m.second);
  }
  if (screenNumber >= 0 && static_cast<size_t>(screenNumber) < monitors.size()) {
    return LocalPath(monitors[static_cast<size_t>(screenNumber)].second);
  }
  return LocalPath(monitors.front().second);
}

std::string LxqtPicture(const DesktopFolders& folders) {
  if (folders.config.empty()) return {};
  for (const char* profile : {"lxqt", "default"}) {
    std::string text;
    if (!ReadText(folders.config + "/pcmanfm-qt/" + profile + "/settings.conf", &text)) continue;
    const Ini ini = ParseIni(text);
    const auto desktop = ini.find("Desktop");
    if (desktop == ini.end()) continue;
    const auto wallpaper = desktop->second.find("Wallpaper");
    if (wallpaper != desktop->second.end()) {
      const std::string path = LocalPath(Unquote(wallpaper->second));
      if (!path.empty()) return path;
    }
  }
  return {};
}

std::string FehPicture(const DesktopFolders& folders, int screenNumber) {
  std::string text;
  if (!folders.home.empty() && ReadText(folders.home + "/.fehbg", &text)) {
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      const std::string line = Trim(text.substr(at, end - at));
      at = end + 1;
      if (line.empty() || line[0] == '#') continue;
      gint argc = 0;
      gchar** argv = nullptr;
      if (!g_shell_parse_argv(line.c_str(), &argc, &argv, nullptr)) continue;
      // feh [options] --bg-<mode> [--option value...] picture...: the
      // pictures are the absolute paths after the --bg option, one per
      // monitor.
      std::vector<std::string> pictures;
      bool feh = false, background = false;
      for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i == 0) feh = arg == "feh" || (arg.size() > 4 && arg.compare(arg.size() - 4, 4, "/feh") == 0);
        if (arg.rfind("--bg", 0) == 0) background = true;
        if (feh && background && !arg.empty() && arg[0] == '/') pictures.push_back(arg);
      }
      g_strfreev(argv);
      if (pictures.empty()) continue;
      if (screenNumber >= 0 && static_cast<size_t>(screenNumber) < pictures.size())
        return pictures[static_cast<size_t>(screenNumber)];
      return pictures.front();
    }
  }
  if (!folders.config.empty() && ReadText(folders.config + "/nitrogen/bg-saved.cfg", &text)) {
    const Ini ini = ParseIni(text);
    for (const auto& [group, keys] : ini) {
      const auto file = keys.find("file");
      if (file != keys.end() && !file->second.empty()) return LocalPath(file->second);
    }
  }
  return {};
}

std::string SlideshowPicture(const std::string& xmlPath, std::time_t now) {
  std::string text;
  if (!ReadText(xmlPath, &text)) return {};
  SlideshowParse parse;
  GMarkupParser parser{};
  parser.start_element = SlideStart;
  parser.end_element = SlideEnd;
  parser.text = SlideText;
  GMarkupParseContext* context = g_markup_parse_context_new(&parser, G_MARKUP_DEFAULT_FLAGS, &parse, nullptr);
  const bool ok = g_markup_parse_context_parse(context, text.data(), static_cast<gssize>(text.size()), nullptr) &&
                  g_markup_parse_context_end_parse(context, nullptr);
  g_markup_parse_context_free(context);
  if (!ok || parse.slides.empty()) return {};
  double total = 0;
  for (const Slide& s : parse.slides) total += s.seconds > 0 ? s.seconds : 0;
  const Slide* shown = &parse.slides.front();
  if (total > 0 && parse.hasStart) {
    std::tm start = parse.start;
    start.tm_isdst = -1;
    const std::time_t begin = std::mktime(&start);
    double t = begin == static_cast<std::time_t>(-1) ? 0 : std::difftime(now, begin);
    if (t < 0) t = 0;
    t = std::fmod(t, total);
    for (const Slide& s : parse.slides) {
      const double d = s.seconds > 0 ? s.seconds : 0;
      if (t < d) {
        shown = &s;
        // Past the middle of a transition its end picture shows more.
        if (!s.to.empty() && t > d / 2) return LocalPath(s.to);
        break;
      }
      t -= d;
    }
  }
  return LocalPath(shown->picture);
}
