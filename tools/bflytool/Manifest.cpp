#include "tools/bflytool/Manifest.h"

#include <cstdlib>
#include <sstream>

#include "tools/bflytool/ToolSupport.h"

namespace {

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return {};
  const size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

bool ParseInt(const std::string& s, int lo, int hi, int* value) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (s.empty() || !end || *end || v < lo || v > hi) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

std::string FormatManifest(const Manifest& m) {
  std::ostringstream s;
  s << "# bflytool manifest: the parts of one butterfly type\n"
    << "name = " << m.name << "\n"
    << "scale = " << m.scale << "\n"
    << "info = " << m.info << "\n"
    << "model = " << m.model << "\n";
  if (!m.alpha.empty()) s << "alpha = " << m.alpha << "\n";
  for (const auto& [file, rule] : m.textures) {
    s << "texture = " << file << " " << AlphaRuleName(rule) << "\n";
  }
  return s.str();
}

bool ParseManifest(const std::string& text, Manifest* m, std::string* error) {
  *m = Manifest{};
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const std::string where = "manifest line " + std::to_string(number) + ": ";
    const std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) {
      *error = where + "expected key = value";
      return false;
    }
    const std::string key = Trim(t.substr(0, eq));
    const std::string value = Trim(t.substr(eq + 1));
    if (key == "name") {
      m->name = value;
    } else if (key == "scale") {
      if (!ParseInt(value, 1, 255, &m->scale)) {
        *error = where + "scale is a whole per cent from 1 to 255";
        return false;
      }
    } else if (key == "info") {
      if (!ParseInt(value, 0, 255, &m->info)) {
        *error = where + "info is a byte from 0 to 255";
        return false;
      }
    } else if (key == "model") {
      m->model = value;
    } else if (key == "alpha") {
      m->alpha = value;
    } else if (key == "texture") {
      const size_t space = value.find_last_of(" \t");
      const auto rule = space == std::string::npos ? std::nullopt
                                                   : ParseAlphaRule(value.substr(space + 1));
      if (!rule) {
        *error = where + "texture = FILE RULE, RULE one of opaque, key, brightness";
        return false;
      }
      m->textures.emplace_back(Trim(value.substr(0, space)), *rule);
    } else {
      *error = where + "unknown key \"" + key + "\"";
      return false;
    }
  }
  if (m->model.empty() || m->textures.empty()) {
    *error = "manifest: needs a model and at least one texture";
    return false;
  }
  return true;
}
