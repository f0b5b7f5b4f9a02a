#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "host/CommandLine.h"
#include "host/Settings.h"
#include "platform/ScreenSaverDefaults.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace {

bool Parse(const std::vector<std::string>& args, CommandLine* out, std::string* error) {
  std::vector<const char*> argv = {"wingdrift"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  return out->Parse(static_cast<int>(argv.size()), argv.data(), error);
}

// What a parsed line holds, leaving out what is as it is by default.
std::string Described(const CommandLine& c) {
  const char* modes[] = {"full screen", "window", "preview", "root",
                         "on",          "record", "help",    "version"};
  std::ostringstream out;
  out << modes[static_cast<int>(c.mode)];
  if (c.width != 0) out << " " << c.width << "x" << c.height;
  if (c.windowId != 0) out << " id " << c.windowId;
  if (!c.recordPath.empty()) {
    out << " to " << c.recordPath << " for " << c.seconds << " s from " << c.start;
  }
  if (c.seed) out << " seed " << *c.seed;
  if (c.fps) out << " fps";
  if (c.samples >= 0) out << " samples " << c.samples;
  if (c.present != PresentPath::Auto) out << " present " << static_cast<int>(c.present);
  return out.str();
}

// Each line as the parser takes it, or why it refuses it.
TEST(CommandLine, ModesValuesAndOneClearLineForWhatIsRefused) {
  const std::string screenOnly = " goes with a mode that draws on the screen, not with '--record'";
  const std::string window = "'--window' takes a size such as 1280x720, not ";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "full screen"},
      {{"--window"}, "window"},  // the mode's default size
      {{"-root"}, "root"},
      // XScreenSaver's dialog appends "--window-id ID" to the "--root" line
      // of its programs list; its hacks also take single-dash spellings.
      {{"--root", "--window-id", "0x2a00007"}, "on id 44040199"},
      {{"-window-id", "0x2a", "-root", "-fps"}, "on id 42 fps"},
      {{"-window", "1920x1080", "--samples", "4", "--present", "copy"},
       "window 1920x1080 samples 4 present 2"},
      {{"--record", "out.png", "--seconds", "2.5", "--size", "320x200", "--seed", "4294967295",
        "--start", "7"},
       "record 320x200 to out.png for 2.5 s from 7 seed 4294967295"},
      {{"--bogus"}, "refused: unknown option '--bogus' (see wingdrift --help)"},
      {{"--window", "big"}, "refused: " + window + "'big'"},
      {{"--window", "0x100"}, "refused: " + window + "'0x100'"},
      {{"--window-id"}, "refused: '--window-id' needs a value"},
      {{"--window-id", "0x"}, "refused: '0x' is not a window id (0x... or decimal)"},
      {{"--root", "--window"}, "refused: '--window' cannot be combined with another mode"},
      {{"--record"}, "refused: '--record' needs a value"},
      {{"--record", ""}, "refused: '--record' needs a file or folder name"},
      {{"--present", "age", "--present", "auto"}, "full screen"},  // the last one holds
      {{"--present", "swap"}, "refused: '--present' takes auto, age, copy or full, not 'swap'"},
      {{"--record", "a.png", "--present", "full"}, "refused: '--present'" + screenOnly},
      {{"--samples", "3"}, "refused: '--samples' takes 0, 2, 4 or 8, not '3'"},
      {{"--record", "a.png", "--samples", "0"}, "refused: '--samples'" + screenOnly},
      {{"--record", "a.png", "-fps"}, "refused: '--fps'" + screenOnly},
      {{"--record", "a.png", "--seconds", "-1"},
       "refused: '--seconds' takes a number of seconds up to 3600, not '-1'"},
      {{"--record", "a.png", "--seconds", "nan"},
       "refused: '--seconds' takes a number of seconds up to 3600, not 'nan'"},
      {{"--record", "a.png", "--seed", "-3"},
       "refused: '--seed' takes a whole number from 0 to 4294967295, not '-3'"},
      {{"--record", "a.png", "--seed", "4294967296"},
       "refused: '--seed' takes a whole number from 0 to 4294967295, not '4294967296'"},
      {{"--record", "a.png", "--size", "99999x10"},
       "refused: '--size' takes a size such as 1280x720, not '99999x10'"},
      {{"--seed", "1"},
       "refused: '--seconds', '--start', '--size' and '--seed' go with '--record'"},
      {{"--record", "a.png", "--start", "-2"},
       "refused: '--start' takes a number of seconds up to 3600, not '-2'"},
      {{"--count", "11"}, "refused: '--count' takes a whole number from 0 to 10, not '11'"},
      {{"--butterfly-size", "200"},
       "refused: '--butterfly-size' takes a whole number from 10 to 190, not '200'"},
      {{"--speed"}, "refused: '--speed' needs a value"},
      {{"--type", "../x.bfly"},
       "refused: '--type' takes the file name of a butterfly type, such "
       "as GOT-F.bfly, not '../x.bfly'"},
      {{"--background", "sky"},
       "refused: '--background' takes desktop, picture or folder, not 'sky'"},
      {{"--detail", "3"}, "refused: '--detail' takes 0, 1 or 2, not '3'"},
      {{"--folder", ""}, "refused: '--folder' takes a folder of pictures"},
      {{"--mix", "--type", "GOT-F.bfly"}, "refused: '--mix' and '--type' cannot be combined"},
  };
  for (const auto& [args, meant] : cases) {
    CommandLine line;
    std::string error;
    EXPECT_EQ(Parse(args, &line, &error) ? Described(line) : "refused: " + error, meant);
  }
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// As XScreenSaver's own check of its hacks' descriptions: every argument the
// settings page can put on the command line is one the program takes, a
// number control at its default means the stored first-run default (so a
// control left alone changes nothing), and a box ticked or cleared changes
// something.
TEST(CommandLine, XScreenSaverSettingsPageMatchesTheParserAndTheStoredDefaults) {
  TempDir config;
  ScopedEnv home("XDG_CONFIG_HOME", config.path().c_str());
  ScreenSaverDefaults store(kSettingsModuleName);
  SETTINGS defaults;
  bool defaultMain = true;
  LoadSettings(&defaults, &defaultMain, "/data/", store);
  // Whether `words` after "--root" parse and leave the stored defaults as
  // they are.
  auto unchanged = [&](std::vector<std::string> words) {
    words.insert(words.begin(), "--root");
    CommandLine line;
    std::string error;
    EXPECT_TRUE(Parse(words, &line, &error)) << words.back() << ": " << error;
    SETTINGS s = defaults;
    bool mainOnly = defaultMain;
    line.settings.ApplyTo(&s, &mainOnly);
    return !line.fps && Fields(s, mainOnly) == Fields(defaults, defaultMain);
  };

  const std::string xml = ReadFile(WINGDRIFT_SOURCE_DIR "/host/wingdrift.xml");
  const std::regex element("<(command|number|boolean|file|option)\\b([^>]*)>");
  const std::regex attribute("([-\\w]+)=\"([^\"]*)\"");
  int controls = 0;
  for (auto e = std::sregex_iterator(xml.begin(), xml.end(), element); e != std::sregex_iterator();
       ++e, ++controls) {
    std::map<std::string, std::string> a;
    const std::string kind = (*e)[1], attrs = (*e)[2];
    for (auto m = std::sregex_iterator(attrs.begin(), attrs.end(), attribute);
         m != std::sregex_iterator(); ++m) {
      a[(*m)[1]] = (*m)[2];
    }
    SCOPED_TRACE(kind + " " + a["id"]);
    auto fill = [&](const std::string& value) {
      return Words(std::regex_replace(a["arg"], std::regex("%"), value));
    };
    if (kind == "command") {
      EXPECT_EQ(a["arg"], "--root");
    } else if (kind == "number") {
      EXPECT_TRUE(unchanged(fill(a["default"]))) << "the default is the stored default";
      unchanged(fill(a["low"]));
      unchanged(fill(a["high"]));
    } else if (kind == "boolean") {
      // Exactly one of the two: the box's default state inserts nothing.
      ASSERT_NE(a.count("arg-set"), a.count("arg-unset"));
      EXPECT_FALSE(unchanged(Words(a["arg-set"] + a["arg-unset"])))
          << "moves away from the stored default";
    } else if (kind == "file") {
      EXPECT_FALSE(unchanged(fill("/srv/pictures")));
    } else {
      unchanged(Words(a["arg-set"]));
    }
  }
  EXPECT_GT(controls, 10);
}

}  // namespace
