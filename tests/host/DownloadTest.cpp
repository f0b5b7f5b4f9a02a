// Downloadable butterfly types against a real HTTP server on 127.0.0.1: the
// catalogue check and the downloads as the settings window drives them,
// a downloaded type flying in a recording, and bflytool's list and download
// against hostile servers.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <tuple>

#include "butterflies/AQUARIUM.h"
#include "host/ButterflyDownloads.h"
#include "host/ButterflyFolder.h"
#include "host/CatalogueLine.h"
#include "platform/ScreenSaverDefaults.h"
#include "tests/host/ChildProcess.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tools/ButterflyBuilder.h"
#include "util/CString.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = WINGDRIFT_BINARY_DIR "/tools/bflytool/bflytool";
const std::string kProgram = WINGDRIFT_BINARY_DIR "/host/wingdrift";
const std::string kServerScript = WINGDRIFT_SOURCE_DIR "/tests/host/catalogue_server.py";

const std::string kLong39 = "Longwing of the far and misty meadowsXY";  // 39 characters
const std::string kLong45 = kLong39 + "-extra";
const std::string kOther45 = "Another butterfly whose name runs on and on!!";

// The site every test uses: `bflytool catalogue` of three shipped types and
// a magenta one, served by tests/host/catalogue_server.py.
class DownloadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = std::make_unique<TempDir>();
    const std::string built = root_->Write(
        "Magenta.bfly", ButterflyFile({.name = "Magenta Test", .colours = {{{255, 0, 255}}}}));
    ChildProcess tool;
    ASSERT_EQ(tool.Run({kTool, "catalogue", root_->File("site"), kBuildData + "Monarch.bfly",
                        kBuildData + "Peacock.bfly", kBuildData + "RedAdmiral.bfly", built},
                       {}, 120),
              0)
        << tool.Stderr();
    server_ = std::make_unique<ChildProcess>();
    ASSERT_TRUE(server_->Start({"python3", kServerScript, root_->path()}));
    const double end = MonotonicSeconds() + 30;
    while (server_->Stdout().find('\n') == std::string::npos && MonotonicSeconds() < end)
      g_usleep(20000);
    port_ = std::atoi(server_->Stdout().c_str());
    ASSERT_GT(port_, 0) << server_->Stderr();
  }
  // The base address of the site (or of another folder under the root)
  // served in `mode`.
  static std::string Base(const std::string& mode, const std::string& folder = "site") {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + mode + "/" + folder;
  }

  // Kept to the end of the program: the server is stopped, then the site removed.
  static inline std::unique_ptr<TempDir> root_;
  static inline std::unique_ptr<ChildProcess> server_;
  static inline int port_ = 0;
};

// The downloads of a sheet over the shipped types and `folder` (as the
// preview's container is), and what the sheet would show.
struct Sheet {
  Sheet(const std::string& server, const std::string& folder) {
    CopyCString(aquarium.bflyPath, kBuildData.c_str());
    CopyCString(aquarium.bflyPath2, (folder + "/").c_str());
    aquarium.BuildBFlyList();
    d.server = server;
    d.aquarium = [this] { return &aquarium; };
    d.outlets.setStatusText = [this](const std::string& t) { status.push_back(t); };
    d.outlets.setAvailableDownloads = [this](const std::vector<std::string>& t, bool on) {
      popUps.push_back({t, on});
    };
    d.outlets.setProgress = [this](double p) { progress.push_back(p); };
    d.outlets.setControlsEnabled = [this](bool on) { controls.push_back(on); };
    d.outlets.typeLanded = [this](const std::string& path) { landed = path; };
  }

  AQUARIUM aquarium;
  ButterflyDownloads d;
  std::vector<std::string> status;
  std::vector<std::pair<std::vector<std::string>, bool>> popUps;  // the titles, enabled
  std::vector<double> progress;
  std::vector<bool> controls;
  std::string landed;
};

TEST_F(DownloadTest, CheckListsWhatIsNotInstalled) {
  TempDir installed;
  fs::copy_file(kBuildData + "Monarch.bfly", installed.File("Monarch.bfly"));
  installed.Write("Long.bfly", ButterflyFile({.name = kLong39}));
  // Hashes are taken in either case and kept in lower case.
  const std::string hex = "0123456789abcdefABCDEF0123456789abcdefABCDEF0123456789abcdefABCD";
  const std::string sha = "0123456789abcdefabcdef0123456789abcdefabcdef0123456789abcdefabcd";

  // The catalogue's lines; the titles offered, and whether the pop-up is on.
  using Case = std::tuple<const char*, std::vector<std::string>, std::vector<std::string>, bool>;
  const Case cases[] = {
      {"three lines, the first installed",
       {"Monarch;Monarch.bfly", "Peacock;Peacock.bfly", "Red Admiral;RedAdmiral.bfly"},
       {"Peacock", "Red Admiral"}, true},
      {"all installed, one by its name cut to 39", {"Monarch;x.bfly", kLong45 + ";Long.bfly"},
       {"None"}, false},
      {"long names cut; lines without a location, with a bad size or hash skipped",
       {kOther45 + ";Other.bfly", "Lonely", "Bad size;b.bfly;12k",
        "Too big;b.bfly;1" + std::string(18, '0'), "Short hash;b.bfly;12;" + sha.substr(1),
        "Bad hash;b.bfly;12;" + sha.substr(1) + "g",
        "Sized;S.bfly;999999999999999999;" + hex + ";more",  // the most digits a size may have
        "Unsized;U.bfly;;"},
       {kOther45.substr(0, 39), "Sized", "Unsized"}, true},
      {"an empty catalogue", {}, {"None"}, false},
  };
  for (const auto& [what, lines, titles, enabled] : cases) {
    SCOPED_TRACE(what);
    root_->Write("check/mac/zips/bfly/bflyTypes.plist", FormatCatalogue(lines));
    Sheet shown(Base("ok", "check"), installed.path());
    ButterflyDownloads& d = shown.d;
    ASSERT_TRUE(d.CheckDownloads());
    ASSERT_EQ(shown.popUps.size(), 1u);
    EXPECT_EQ(shown.popUps[0], std::pair(titles, enabled));
    EXPECT_EQ(d.numDownloads, enabled ? titles.size() : 0u);
    EXPECT_TRUE(shown.status.empty());
    if (titles.back() == "Unsized") {
      EXPECT_EQ(d.downloadData[1].size, 999999999999999999);
      EXPECT_STREQ(d.downloadData[1].sha256, sha.c_str());
      EXPECT_STREQ(d.downloadData[1].location, "S.bfly");
      EXPECT_EQ(d.downloadData[2].size, -1) << "unknown";
      EXPECT_STREQ(d.downloadData[2].sha256, "");
    }
    // A failed check shows the error and changes nothing else.
    d.server = Base("404", "check");
    EXPECT_FALSE(d.CheckDownloads());
    EXPECT_EQ(shown.status, std::vector<std::string>{kConnectErrorText});
    EXPECT_EQ(shown.popUps.size(), 1u);
    EXPECT_EQ(d.numDownloads, enabled ? titles.size() : 0u);
  }
}

// Frames of a recording (a folder of RGB PNGs, rows unpadded at 320 pixels)
// with more than 20 pixels of the magenta type's wings.
int MagentaFrames(const std::string& folder) {
  int frames = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    GdkPixbuf* frame = gdk_pixbuf_new_from_file(e.path().c_str(), nullptr);
    if (frame == nullptr) continue;
    const guint8* rgb = gdk_pixbuf_read_pixels(frame);
    int count = 0;
    for (size_t i = 0; i + 3 <= gdk_pixbuf_get_byte_length(frame); i += 3) {
      count += rgb[i] > 90 && rgb[i + 2] > 90 && rgb[i + 1] * 2 < std::min(rgb[i], rgb[i + 2]);
    }
    g_object_unref(frame);
    frames += count > 20;
  }
  return frames;
}

TEST_F(DownloadTest, DownloadLandsAndTheTypeFliesAtTheNextStart) {
  TempDir config, data, out;
  const ScopedEnv configHome("XDG_CONFIG_HOME", config.path().c_str());
  const ScopedEnv dataHome("XDG_DATA_HOME", data.path().c_str());
  ASSERT_TRUE(StoreSettings([](ScreenSaverDefaults& store) {
    store.setObject("Magenta.bfly", "SelectedBFly");
    store.setInteger(1, "MixBFly");
    store.setInteger(10, "MaxBFly");
    store.setInteger(150, "BFlySize");
  }));
  auto record = [&](const std::string& name) {
    const std::vector<std::string> argv = {kProgram, "--record", out.File(name), "--seconds",
                                           "6", "--size", "320x240", "--seed", "7"};
    ChildProcess p;
    EXPECT_EQ(p.Run(argv, {{"DISPLAY", std::nullopt}}, 300), 0) << p.Stderr();
    return MagentaFrames(out.File(name));
  };
  EXPECT_EQ(record("before"), 0) << "the chosen type is not installed yet";

  // From a server that states no length: the bar stays where it is and the
  // text counts bytes; the sheet is off until the type has landed.
  const std::string folder = UserButterflyFolder();
  Sheet shown(Base("nolength"), folder);
  ButterflyDownloads& d = shown.d;
  ASSERT_TRUE(d.CheckDownloads());
  ASSERT_TRUE(d.StartDownload(3, folder));
  while (d.theDownload) g_main_context_iteration(nullptr, TRUE);
  const std::string magenta = ReadFile(root_->File("Magenta.bfly"));
  ASSERT_EQ(shown.landed, folder + "/Magenta.bfly") << shown.status.back();
  EXPECT_EQ(Snapshot(folder), (std::map<std::string, std::string>{{"Magenta.bfly", magenta}}));
  EXPECT_EQ(shown.controls, (std::vector<bool>{false, true}));
  EXPECT_EQ(shown.progress, std::vector<double>{0.0});
  ASSERT_GE(shown.status.size(), 2u);
  EXPECT_EQ(shown.status[shown.status.size() - 2],
            "Downloading, Please Wait: " + std::to_string(magenta.size()) + " bytes received\n");
  EXPECT_EQ(shown.status.back(), kDownloadCompleteText);

  EXPECT_GT(record("after"), 30) << "frames showing the downloaded type";
}

// bflytool list / download against servers that misbehave: each ends with
// the error text and the data folder byte for byte as it was.
TEST_F(DownloadTest, HostileServersChangeNothing) {
  TempDir home;
  const std::string folder = home.path();
  // An older type under the name the downloads would take.
  fs::copy_file(kBuildData + "GOT-F.bfly", folder + "/Monarch.bfly");
  fs::copy_file(kBuildData + "Peacock.bfly", folder + "/Peacock.bfly");
  const auto before = Snapshot(folder);

  // The catalogue's failures (bflytool list) say no more than the sheet
  // does; a download's (bflytool download) name the address and why.
  const std::string failed = "Download failed! Error - ";
  const std::pair<std::string, std::string> cases[] = {
      {"http://127.0.0.1:1", kConnectErrorText},  // nothing listening (tcpmux is long gone)
      {"", kConnectErrorText},                    // no address at all
      {Base("404"), kConnectErrorText},
      {Base("html"), kConnectErrorText},
      {Base("binary"), kConnectErrorText},   // a binary property list
      {Base("numbers"), kConnectErrorText},  // an array of numbers
      {Base("huge"), kConnectErrorText},     // a 50 MiB catalogue
      {Base("stall"), failed},               // stalls mid-body
      {Base("longer"), failed + "the server sent more than"},
      {Base("shorter"), failed + "the server sent"},
      {Base("badhash"), failed + "the file's SHA-256 is not"},
      {Base("endless"), failed + "the file is larger than 67108864 bytes"},  // no stated size
      {Base("junk"), failed + "not a butterfly type"},      // with a valid hash
      {Base("dotdot"), failed + "the server's file name \"../escape.bfly\" is not"},
      {Base("notbfly"), failed + "the server's file name \"Monarch.exe\" is not"},
      {Base("file"), failed},   // a redirect to file:///etc/passwd
      {Base("loop"), failed},   // a redirect loop
      {Base("reset"), failed},  // a reset mid-body
  };
  for (const auto& [server, expected] : cases) {
    SCOPED_TRACE(server);
    const bool list = expected == kConnectErrorText;
    std::vector<std::string> argv = {kTool, list ? "list" : "download", server};
    if (!list) argv.push_back("Monarch");
    argv.insert(argv.end(), {"--into", folder, "--timeout", "3"});
    ChildProcess p;
    EXPECT_EQ(p.Run(argv, {}, 120), 1) << p.Stdout();
    EXPECT_EQ(p.Stderr().rfind(expected, 0), 0u) << p.Stderr();
    if (!list) {
      EXPECT_NE(p.Stderr().find(server + "/mac/zips/bfly/Monarch.bfly"), std::string::npos)
          << p.Stderr();
    }
    EXPECT_EQ(Snapshot(folder), before);
  }
  // A catalogue of its own: a location that is no address, a file the
  // server does not have, a size that is not the file's; and a folder that
  // cannot be made (under a file).
  root_->Write("bad/mac/zips/bfly/bflyTypes.plist",
               FormatCatalogue({"Monarch;http://[::1", "Gone;Gone.bfly",
                                "Sized;/ok/site/mac/zips/bfly/RedAdmiral.bfly;12"}));
  const std::string bad = Base("ok", "bad");
  for (const auto& [server, type, into, expected] :
       {std::tuple{bad, "Monarch", folder, "the entry's location is not an address"},
        {bad, "Gone", folder, "The requested URL returned error: 404"},
        {bad, "Sized", folder, "the server's length, "},
        {Base("ok"), "Monarch", folder + "/Peacock.bfly/types", "cannot create the folder"}}) {
    ChildProcess p;
    EXPECT_EQ(p.Run({kTool, "download", server, type, "--into", into}, {}, 60), 1);
    EXPECT_EQ(p.Stderr().rfind(failed + expected, 0), 0u) << p.Stderr();
    EXPECT_EQ(Snapshot(folder), before);
  }

  // The same server behaving (the slashes after its address dropped): the
  // list marks what the folder holds, and a download lands.
  ChildProcess list;
  EXPECT_EQ(list.Run({kTool, "list", Base("ok") + "//", "--into", folder}, {}, 60), 0)
      << list.Stderr();
  EXPECT_EQ(list.Stdout(), "Monarch\nPeacock\t(installed)\nRed Admiral\nMagenta Test\n");
  ChildProcess download;
  EXPECT_EQ(download.Run({kTool, "download", Base("ok"), "Red Admiral", "--into", folder}, {}, 60),
            0)
      << download.Stderr();
  EXPECT_EQ(ReadFile(folder + "/RedAdmiral.bfly"), ReadFile(kBuildData + "RedAdmiral.bfly"));

  // The gallery links each type and its picture.
  const std::string gallery = ReadFile(root_->File("site/index.html"));
  EXPECT_NE(gallery.find("<a href=\"mac/zips/bfly/RedAdmiral.bfly\" download>"), std::string::npos);
  EXPECT_NE(gallery.find("<img src=\"previews/RedAdmiral.png\" alt=\"Red Admiral\">"),
            std::string::npos);
  EXPECT_EQ(ReadFile(root_->File("site/previews/RedAdmiral.png")).substr(1, 3), "PNG");
}

}  // namespace
