// bflytool list / download: the settings window's catalogue check and
// download, for scripts and machines without a display (same limits,
// verification and texts).
#include <glib.h>

#include <cstdlib>
#include <cstring>

#include "butterflies/AQUARIUM.h"
#include "host/ButterflyDownloads.h"
#include "host/ButterflyFolder.h"
#include "host/DownloadServer.h"
#include "tools/bflytool/Commands.h"
#include "util/CString.h"

namespace {

struct Options {
  std::vector<std::string> positional;
  std::string into;
  TransferLimits limits;
};

// SERVER ... [--into DIR] [--timeout S]; false after a usage message.
bool ParseOptions(const char* command, const std::vector<std::string>& args, size_t count,
                  Options* o, std::ostream& err) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--into" && i + 1 < args.size()) {
      o->into = args[++i];
    } else if (a == "--timeout" && i + 1 < args.size()) {
      char* end = nullptr;
      const long s = std::strtol(args[++i].c_str(), &end, 10);
      if (!end || *end || s < 1 || s > 3600) {
        err << "bflytool " << command << ": --timeout takes seconds from 1 to 3600\n";
        return false;
      }
      o->limits.connectSeconds = o->limits.totalSeconds = o->limits.stallSeconds = s;
    } else if (!a.empty() && a[0] == '-') {
      err << "bflytool " << command << ": unknown option " << a << "\n";
      return false;
    } else {
      o->positional.push_back(a);
    }
  }
  if (o->positional.size() != count) {
    err << "bflytool " << command << ": usage: bflytool " << command
        << (count == 1 ? " SERVER" : " SERVER NAME") << " [--into DIR] [--timeout S]\n";
    return false;
  }
  if (o->into.empty()) o->into = UserButterflyFolder();
  return true;
}

// A butterfly container over DIR alone, for the installed check.
void SetFolder(AQUARIUM* aquarium, const std::string& dir) {
  const std::string folder = dir.empty() || dir.back() == '/' ? dir : dir + "/";
  CopyCString(aquarium->bflyPath, folder.c_str());
  CopyCString(aquarium->bflyPath2, folder.c_str());
}

}  // namespace

int ListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  if (!ParseOptions("list", args, 1, &o, err)) return 2;
  std::vector<DOWNLOADDATA> entries;
  std::string error;
  if (!ButterflyDownloads::FetchCatalogue(CatalogueUrl(o.positional[0]), o.limits, &entries,
                                          &error)) {
    err << kConnectErrorText << "\n" << "bflytool list: " << error << "\n";
    return 1;
  }
  AQUARIUM aquarium;
  SetFolder(&aquarium, o.into);
  for (const DOWNLOADDATA& e : entries) {
    out << e.name << (aquarium.BFlyFileExists(e.name) ? "\t(installed)" : "") << "\n";
  }
  return 0;
}

int DownloadCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o;
  if (!ParseOptions("download", args, 2, &o, err)) return 2;
  const std::string server = o.positional[0];
  char wanted[40];
  CopyCString(wanted, o.positional[1].c_str());

  std::vector<DOWNLOADDATA> entries;
  std::string error;
  if (!ButterflyDownloads::FetchCatalogue(CatalogueUrl(server), o.limits, &entries, &error)) {
    err << kConnectErrorText << "\n" << "bflytool download: " << error << "\n";
    return 1;
  }
  const DOWNLOADDATA* entry = nullptr;
  for (const DOWNLOADDATA& e : entries) {
    if (std::strcmp(e.name, wanted) == 0) {
      entry = &e;
      break;
    }
  }
  if (entry == nullptr) {
    err << "bflytool download: the catalogue has no type named \"" << wanted << "\"\n";
    return 1;
  }

  AQUARIUM aquarium;
  SetFolder(&aquarium, o.into);
  aquarium.BuildBFlyList();  // empty when DIR holds no type yet: nothing counts as installed
  ButterflyDownloads downloads;
  downloads.server = server;
  downloads.limits = o.limits;
  downloads.aquarium = [&aquarium] { return &aquarium; };
  std::string landed;
  downloads.outlets.typeLanded = [&landed](const std::string& path) { landed = path; };
  downloads.downloadData.reset(new DOWNLOADDATA[1]{*entry});
  downloads.numDownloads = 1;
  std::string ended;
  downloads.outlets.setStatusText = [&ended](const std::string& text) { ended = text; };
  downloads.StartDownload(0, o.into);
  while (downloads.theDownload) g_main_context_iteration(nullptr, TRUE);
  if (landed.empty()) {
    err << downloads.statusText << "\n";
    return 1;
  }
  out << kDownloadCompleteText << " " << landed << "\n";
  return 0;
}
