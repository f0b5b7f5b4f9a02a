#include "host/CommandLine.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include <initializer_list>
#include <string>
#include <vector>

#include "host/FrameSink.h"
#include "host/Settings.h"
#include "platform/ScreenSaverDefaults.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace {

bool Parse(std::initializer_list<const char*> args, CommandLine* out, std::string* error) {
  std::vector<const char*> argv = {"wingdrift"};
  argv.insert(argv.end(), args.begin(), args.end());
  return out->Parse(static_cast<int>(argv.size()), argv.data(), error);
}

TEST(CommandLine, ModesAndValues) {
  std::string error;
  {
    CommandLine c;
    ASSERT_TRUE(Parse({}, &c, &error));
    EXPECT_EQ(c.mode, CommandLine::Mode::FullScreen);
  }
  {
    CommandLine c;
    ASSERT_TRUE(Parse({"--window"}, &c, &error));
    EXPECT_EQ(c.mode, CommandLine::Mode::Window);
    EXPECT_EQ(c.width, 0) << "the default size is the mode's";
  }
  {
    CommandLine c;
    ASSERT_TRUE(Parse({"--window", "1920x1080"}, &c, &error));
    EXPECT_EQ(c.width, 1920);
    EXPECT_EQ(c.height, 1080);
  }
  {
    CommandLine c;
    ASSERT_TRUE(Parse({"-root"}, &c, &error));
    EXPECT_EQ(c.mode, CommandLine::Mode::Root);
  }
  {
    CommandLine c;
    ASSERT_TRUE(Parse({"--window-id", "0x2a00007"}, &c, &error));
    EXPECT_EQ(c.mode, CommandLine::Mode::WindowId);
    EXPECT_EQ(c.windowId, 0x2a00007ul);
    ASSERT_TRUE(Parse({"--window-id", "44040199"}, &c, &error));
    EXPECT_EQ(c.windowId, 44040199ul);
  }
  // XScreenSaver's dialog appends "--window-id ID" to the "--root" line of
  // its programs list; its hacks also take single-dash spellings.
  for (auto args : {std::initializer_list<const char*>{"--root", "--window-id", "0x2a"},
                    {"-window-id", "0x2a", "-root", "-fps"}}) {
    CommandLine c;
    ASSERT_TRUE(Parse(args, &c, &error)) << error;
    EXPECT_EQ(c.mode, CommandLine::Mode::WindowId);
    EXPECT_EQ(c.windowId, 0x2aul);
  }
  {
    CommandLine c;
    ASSERT_TRUE(Parse({"-window", "-fps", "--samples", "4", "--present", "copy"}, &c, &error))
        << error;
    EXPECT_EQ(c.mode, CommandLine::Mode::Window);
    EXPECT_TRUE(c.fps);
    EXPECT_EQ(c.samples, 4);
    EXPECT_EQ(c.present, PresentPath::CopySubBuffer);
  }
  {
    CommandLine c;
    ASSERT_TRUE(Parse({"--record", "out.png", "--seconds", "2.5", "--size", "320x200", "--seed",
                       "4294967295", "--start", "7"},
                      &c, &error));
    EXPECT_EQ(c.mode, CommandLine::Mode::Record);
    EXPECT_EQ(c.recordPath, "out.png");
    EXPECT_EQ(c.seconds, 2.5);
    EXPECT_EQ(c.start, 7.0);
    EXPECT_EQ(c.width, 320);
    EXPECT_EQ(c.height, 200);
    ASSERT_TRUE(c.seed.has_value());
    EXPECT_EQ(*c.seed, 4294967295u);
  }
}

TEST(CommandLine, RefusesWithOneClearLine) {
  struct Case {
    std::initializer_list<const char*> args;
    const char* error;
  };
  for (const Case& c : {
           Case{{"--bogus"}, "unknown option '--bogus' (see wingdrift --help)"},
           Case{{"stray"}, "unknown option 'stray' (see wingdrift --help)"},
           Case{{"--window", "big"}, "'--window' takes a size such as 1280x720, not 'big'"},
           Case{{"--window", "0x100"}, "'--window' takes a size such as 1280x720, not '0x100'"},
           Case{{"--window-id"}, "'--window-id' needs a value"},
           Case{{"--window-id", "0x"}, "'0x' is not a window id (0x... or decimal)"},
           Case{{"--window-id", "12abc"}, "'12abc' is not a window id (0x... or decimal)"},
           Case{{"--root", "--window"}, "'--window' cannot be combined with another mode"},
           Case{{"--record"}, "'--record' needs a value"},
           Case{{"--present", "swap"}, "'--present' takes auto, age, copy or full, not 'swap'"},
           Case{{"--record", "a.png", "--present", "full"},
                "'--present' goes with a mode that draws on the screen, not with '--record'"},
           Case{{"--samples", "3"}, "'--samples' takes 0, 2, 4 or 8, not '3'"},
           Case{{"--record", "a.png", "--samples", "0"},
                "'--samples' goes with a mode that draws on the screen, not with '--record'"},
           Case{{"--record", "a.png", "-fps"},
                "'--fps' goes with a mode that draws on the screen, not with '--record'"},
           Case{{"--record", "a.png", "--seconds", "-1"},
                "'--seconds' takes a number of seconds up to 3600, not '-1'"},
           Case{{"--record", "a.png", "--seconds", "nan"},
                "'--seconds' takes a number of seconds up to 3600, not 'nan'"},
           Case{{"--record", "a.png", "--seed", "-3"},
                "'--seed' takes a whole number from 0 to 4294967295, not '-3'"},
           Case{{"--record", "a.png", "--seed", "4294967296"},
                "'--seed' takes a whole number from 0 to 4294967295, not '4294967296'"},
           Case{{"--record", "a.png", "--size", "99999x10"},
                "'--size' takes a size such as 1280x720, not '99999x10'"},
           Case{{"--seed", "1"}, "'--seconds', '--start', '--size' and '--seed' go with '--record'"},
           Case{{"--record", "a.png", "--start", "-2"},
                "'--start' takes a number of seconds up to 3600, not '-2'"},
           Case{{"--count", "11"}, "'--count' takes a whole number from 0 to 10, not '11'"},
           Case{{"--butterfly-size", "200"},
                "'--butterfly-size' takes a whole number from 10 to 190, not '200'"},
           Case{{"--speed"}, "'--speed' needs a value"},
           Case{{"--type", "../x.bfly"},
                "'--type' takes the file name of a butterfly type, such as GOT-F.bfly, not "
                "'../x.bfly'"},
           Case{{"--background", "sky"},
                "'--background' takes desktop, picture or folder, not 'sky'"},
           Case{{"--detail", "3"}, "'--detail' takes 0, 1 or 2, not '3'"},
           Case{{"--mix", "--type", "GOT-F.bfly"}, "'--mix' and '--type' cannot be combined"},
       }) {
    CommandLine line;
    std::string error;
    EXPECT_FALSE(Parse(c.args, &line, &error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

// One control of XScreenSaver's settings page for the hack.
struct XmlControl {
  std::string element;  // "number", "boolean", "select", "file", "command"
  std::string id;
  std::string arg, argSet, argUnset, low, high, defaultValue;
  std::vector<std::string> optionArgs;  // a select's options, "" for none
};

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string Fill(std::string arg, const std::string& value) {
  const size_t at = arg.find('%');
  if (at != std::string::npos) arg.replace(at, 1, value);
  return arg;
}

bool ParseWords(const std::vector<std::string>& words, CommandLine* out, std::string* error) {
  std::vector<const char*> argv = {"wingdrift"};
  for (const std::string& w : words) argv.push_back(w.c_str());
  return out->Parse(static_cast<int>(argv.size()), argv.data(), error);
}

std::vector<XmlControl> ReadHackXml(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<XmlControl> controls;
  GMarkupParser parser{};
  parser.start_element = [](GMarkupParseContext*, const gchar* element, const gchar** names,
                            const gchar** values, gpointer data, GError**) {
    auto* out = static_cast<std::vector<XmlControl>*>(data);
    auto attr = [&](const char* name) {
      for (int i = 0; names[i] != nullptr; ++i) {
        if (std::strcmp(names[i], name) == 0) return std::string(values[i]);
      }
      return std::string();
    };
    const std::string e = element;
    if (e == "option") {
      if (!out->empty() && out->back().element == "select") {
        out->back().optionArgs.push_back(attr("arg-set"));
      }
      return;
    }
    if (e != "command" && e != "number" && e != "boolean" && e != "select" && e != "file") return;
    out->push_back(XmlControl{e, attr("id"), attr("arg"), attr("arg-set"), attr("arg-unset"),
                              attr("low"), attr("high"), attr("default"), {}});
  };
  GMarkupParseContext* context = g_markup_parse_context_new(&parser, G_MARKUP_PREFIX_ERROR_POSITION,
                                                            &controls, nullptr);
  GError* error = nullptr;
  const std::string xml = text.str();
  const bool ok = g_markup_parse_context_parse(context, xml.c_str(),
                                               static_cast<gssize>(xml.size()), &error) &&
                  g_markup_parse_context_end_parse(context, &error);
  EXPECT_TRUE(ok) << (error != nullptr ? error->message : "");
  g_clear_error(&error);
  g_markup_parse_context_free(context);
  return controls;
}

bool SameSettings(const SETTINGS& a, bool aMain, const SETTINGS& b, bool bMain) {
  return aMain == bMain && a.WANTSHADOW == b.WANTSHADOW && a.LBFLYSIZE == b.LBFLYSIZE &&
         a.LFLYSPEED == b.LFLYSPEED && a.MIXBFLY == b.MIXBFLY && a.MAX_BFLY == b.MAX_BFLY &&
         a.BGTYPE == b.BGTYPE && std::strcmp(a.BGPath, b.BGPath) == 0 && a.BGRES == b.BGRES &&
         std::strcmp(a.SelectedBFlyName, b.SelectedBFlyName) == 0;
}

// As XScreenSaver's own check of its hacks' descriptions: every argument the
// settings page can put on the command line is one the program takes, and
// every control at its default means the stored first-run default (so a
// control left alone changes nothing), while moving one changes something.
TEST(CommandLine, XScreenSaverSettingsPageMatchesTheParserAndTheStoredDefaults) {
  TempDir config;
  ScopedEnv home("XDG_CONFIG_HOME", config.path().c_str());
  ScreenSaverDefaults store(kSettingsModuleName);
  SETTINGS defaults;
  bool defaultMain = true;
  LoadSettings(&defaults, &defaultMain, "/data/", store);

  // What a command line makes of the stored defaults.
  struct Outcome {
    SETTINGS settings;
    bool mainOnly = false;
    bool fps = false;
  };
  auto run = [&](std::vector<std::string> words, Outcome* out) {
    words.insert(words.begin(), "--root");
    CommandLine line;
    std::string error;
    const bool ok = ParseWords(words, &line, &error);
    EXPECT_TRUE(ok) << words.back() << ": " << error;
    out->settings = defaults;
    out->mainOnly = defaultMain;
    line.settings.ApplyTo(&out->settings, &out->mainOnly);
    out->fps = line.fps;
    return ok;
  };
  auto unchanged = [&](const Outcome& o) {
    return SameSettings(o.settings, o.mainOnly, defaults, defaultMain) && !o.fps;
  };

  const std::vector<XmlControl> controls =
      ReadHackXml(std::string(WINGDRIFT_SOURCE_DIR) + "/host/wingdrift.xml");
  ASSERT_FALSE(controls.empty());
  EXPECT_EQ(controls.front().element, "command");
  EXPECT_EQ(controls.front().arg, "--root");
  std::vector<std::string> everything;  // every control moved at once
  for (const XmlControl& c : controls) {
    SCOPED_TRACE(c.element + " " + c.id);
    Outcome o;
    if (c.element == "number") {
      ASSERT_TRUE(run(Words(Fill(c.arg, c.defaultValue)), &o));
      EXPECT_TRUE(unchanged(o)) << "the default is the stored default";
      for (const std::string& v : {c.low, c.high}) {
        ASSERT_TRUE(run(Words(Fill(c.arg, v)), &o));
      }
      const auto high = Words(Fill(c.arg, c.high));
      everything.insert(everything.end(), high.begin(), high.end());
    } else if (c.element == "boolean") {
      // Exactly one of the two is given: the box's default state inserts
      // nothing, the other state inserts its argument.
      ASSERT_NE(c.argSet.empty(), c.argUnset.empty());
      const std::string moved = c.argSet.empty() ? c.argUnset : c.argSet;
      ASSERT_TRUE(run(Words(moved), &o));
      EXPECT_FALSE(unchanged(o)) << moved << " moves away from the stored default";
      everything.push_back(moved);
    } else if (c.element == "select") {
      ASSERT_GE(c.optionArgs.size(), 2u);
      EXPECT_EQ(c.optionArgs.front(), "") << "the default option inserts nothing";
      for (size_t k = 1; k < c.optionArgs.size(); ++k) {
        ASSERT_TRUE(run(Words(c.optionArgs[k]), &o));
      }
      const auto last = Words(c.optionArgs.back());
      everything.insert(everything.end(), last.begin(), last.end());
    } else if (c.element == "file") {
      ASSERT_TRUE(run(Words(Fill(c.arg, "/home/me/Pictures")), &o));
      EXPECT_STREQ(o.settings.BGPath, "/home/me/Pictures");
      everything.push_back("--folder");
      everything.push_back("/srv/pictures");
    }
  }
  Outcome all;
  EXPECT_TRUE(run(everything, &all));
}

TEST(FrameSink, OutputKindFromTheName) {
  EXPECT_EQ(FrameSink::KindFor("a.png"), FrameSink::Kind::LastPng);
  EXPECT_EQ(FrameSink::KindFor("A.PNG"), FrameSink::Kind::LastPng);
  EXPECT_EQ(FrameSink::KindFor("clip.mp4"), FrameSink::Kind::Video);
  EXPECT_EQ(FrameSink::KindFor("clip.Gif"), FrameSink::Kind::Video);
  EXPECT_EQ(FrameSink::KindFor("frames"), FrameSink::Kind::Folder);
  EXPECT_EQ(FrameSink::KindFor("frames.png/"), FrameSink::Kind::Folder);
  EXPECT_EQ(FrameSink::KindFor(".png.d"), FrameSink::Kind::Folder);
}

}  // namespace
