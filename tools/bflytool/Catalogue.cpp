// bflytool catalogue: a folder any static web server can serve as a
// download server of butterfly types.
//
//   OUTDIR/mac/zips/bfly/bflyTypes.plist  "name;location;size;sha256" lines
//   OUTDIR/mac/zips/bfly/<file>.bfly      the types, locations relative to it
//   OUTDIR/previews/<file>.png            a preview picture of each
//   OUTDIR/index.html                     the gallery
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "datafiles/BFLYFILE.h"
#include "host/CatalogueLine.h"
#include "host/DownloadServer.h"
#include "host/TypeVerification.h"
#include "tools/bflytool/Commands.h"
#include "tools/bflytool/ToolSupport.h"

namespace {

struct Type {
  std::string file;  // file name in the catalogue folder
  std::string name;  // display name
  std::string bytes;
};

std::string Html(const std::string& s) {
  char* escaped = g_markup_escape_text(s.c_str(), static_cast<gssize>(s.size()));
  std::string out = escaped;
  g_free(escaped);
  return out;
}

std::string UrlPart(const std::string& s) {
  char* escaped = g_uri_escape_string(s.c_str(), nullptr, FALSE);
  std::string out = escaped;
  g_free(escaped);
  return out;
}

std::string Size(size_t bytes) {
  char text[32];
  if (bytes >= (1u << 20)) std::snprintf(text, sizeof text, "%.1f MiB", bytes / 1048576.0);
  else std::snprintf(text, sizeof text, "%.0f KiB", bytes / 1024.0);
  return text;
}

// The gallery's picture of a type: the preview sheet's first view (texture
// 0 from above, wings at 45 degrees), cut out of the sheet.
constexpr int kCell = 240;        // pixels, the sheet's cell
constexpr int kSheetHeader = 44;  // pixels above the sheet's cells

bool WritePicture(const std::string& type, const std::string& png, std::ostream& err) {
  const std::string sheet = png + ".sheet.png";
  std::ostringstream quiet;
  if (PreviewCommand({type, "-o", sheet, "--cell", std::to_string(kCell), "--force"}, quiet, err) != 0)
    return false;
  GError* error = nullptr;
  GdkPixbuf* whole = gdk_pixbuf_new_from_file(sheet.c_str(), &error);
  std::remove(sheet.c_str());
  bool ok = whole != nullptr;
  if (ok) {
    GdkPixbuf* cell = gdk_pixbuf_new_subpixbuf(whole, kCell + 1, kSheetHeader + 1, kCell - 2, kCell - 2);
    ok = cell != nullptr && gdk_pixbuf_save(cell, png.c_str(), "png", &error, nullptr);
    if (cell != nullptr) g_object_unref(cell);
    g_object_unref(whole);
  }
  if (!ok) err << png << ": " << (error != nullptr ? error->message : "cannot write the picture") << "\n";
  if (error != nullptr) g_error_free(error);
  return ok;
}

std::string Gallery(const std::vector<Type>& types, const std::string& folder) {
  std::ostringstream h;
  h << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       "<title>Butterfly types</title>\n<style>\n"
       "body { font-family: sans-serif; background: #20242a; color: #eee; margin: 2em; }\n"
       ".types { display: flex; flex-wrap: wrap; gap: 1.5em; }\n"
       ".type { background: #2e333b; padding: 1em; border-radius: 8px; width: 238px; }\n"
       ".type img { width: 100%; border-radius: 4px; }\n"
       ".type h2 { font-size: 1.1em; margin: 0.5em 0 0.2em; }\n"
       "a { color: #9cf; }\n</style>\n</head>\n<body>\n<h1>Butterfly types</h1>\n"
       "<p>Open the screen saver's settings and check for new butterflies, or download a type "
       "into your butterfly folder.</p>\n<div class=\"types\">\n";
  for (const Type& t : types) {
    const std::string stem = t.file.substr(0, t.file.size() - 5);
    h << "<div class=\"type\">\n<img src=\"previews/" << Html(UrlPart(stem)) << ".png\" alt=\""
      << Html(t.name) << "\">\n<h2>" << Html(t.name) << "</h2>\n<p>" << Size(t.bytes.size())
      << " &middot; <a href=\"" << folder << Html(UrlPart(t.file)) << "\" download>Download</a></p>\n</div>\n";
  }
  h << "</div>\n</body>\n</html>\n";
  return h.str();
}

}  // namespace

int CatalogueCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string outDir;
  std::vector<std::string> inputs;
  bool force = false;
  for (const std::string& a : args) {
    if (a == "--force") force = true;
    else if (!a.empty() && a[0] == '-') {
      err << "bflytool catalogue: unknown option " << a << "\n";
      return 2;
    } else if (outDir.empty()) outDir = a;
    else inputs.push_back(a);
  }
  if (outDir.empty() || inputs.empty()) {
    err << "bflytool catalogue: usage: bflytool catalogue OUTDIR TYPE.bfly... [--force]\n";
    return 2;
  }

  // Every type is checked before anything is written.
  std::vector<Type> types;
  std::set<std::string> files, names;
  for (const std::string& path : inputs) {
    Type t;
    char* base = g_path_get_basename(path.c_str());
    t.file = base;
    g_free(base);
    BFLYFILE file;
    std::string reason;
    if (t.file.size() <= 5 || t.file.compare(t.file.size() - 5, 5, ".bfly") != 0 ||
        t.file[0] == '.') {
      err << path << ": the file name must end in \".bfly\" and not start with \".\"\n";
      return 1;
    }
    if (!file.Open(path.c_str()) || !VerifyButterflyType(path, &reason)) {
      err << path << ": " << (reason.empty() ? "not a butterfly type" : reason) << "\n";
      return 1;
    }
    t.name = file.header.name;
    if (t.name.empty() || t.name.find(';') != std::string::npos) {
      err << path << ": the display name must be non-empty and hold no \";\"\n";
      return 1;
    }
    if (!files.insert(t.file).second || !names.insert(t.name).second) {
      err << path << ": a second type with the file name " << t.file << " or the display name \""
          << t.name << "\"\n";
      return 1;
    }
    if (!ReadFile(path, &t.bytes)) {
      err << path << ": cannot be read\n";
      return 1;
    }
    types.push_back(std::move(t));
  }

  const std::string folderPart = std::string(kCataloguePath).substr(1);  // mac/zips/bfly/bflyTypes.plist
  const std::string folder = folderPart.substr(0, folderPart.rfind('/') + 1);
  const std::string typeDir = outDir + "/" + folder;
  const std::string previewDir = outDir + "/previews/";
  if (g_mkdir_with_parents(typeDir.c_str(), 0755) != 0 ||
      g_mkdir_with_parents(previewDir.c_str(), 0755) != 0) {
    err << outDir << ": cannot create the catalogue's folders\n";
    return 1;
  }
  std::vector<std::string> lines;
  std::string error;
  for (const Type& t : types) {
    gchar* sha = g_compute_checksum_for_data(G_CHECKSUM_SHA256,
                                             reinterpret_cast<const guchar*>(t.bytes.data()),
                                             t.bytes.size());
    lines.push_back(t.name + ";" + UrlPart(t.file) + ";" + std::to_string(t.bytes.size()) + ";" + sha);
    g_free(sha);
    if (!WriteFileChecked(typeDir + t.file, t.bytes, force, &error)) {
      err << error << "\n";
      return 1;
    }
    const std::string stem = t.file.substr(0, t.file.size() - 5);
    if (!WritePicture(typeDir + t.file, previewDir + stem + ".png", err)) return 1;
  }
  if (!WriteFileChecked(outDir + "/" + folderPart, FormatCatalogue(lines), force, &error) ||
      !WriteFileChecked(outDir + "/index.html", Gallery(types, folder), force, &error)) {
    err << error << "\n";
    return 1;
  }
  out << outDir << ": " << types.size() << " type" << (types.size() == 1 ? "" : "s")
      << " in " << folderPart << "\n";
  return 0;
}
