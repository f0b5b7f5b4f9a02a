#include "host/CommandLine.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "host/FrameSink.h"

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
    ASSERT_TRUE(Parse({"-window", "-fps", "--present", "copy"}, &c, &error)) << error;
    EXPECT_EQ(c.mode, CommandLine::Mode::Window);
    EXPECT_TRUE(c.fps);
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
       }) {
    CommandLine line;
    std::string error;
    EXPECT_FALSE(Parse(c.args, &line, &error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
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
