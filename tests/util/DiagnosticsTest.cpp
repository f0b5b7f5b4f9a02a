#include "util/Diagnostics.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

struct Call {
  std::string first;
  std::string second;
};
std::vector<Call> g_alerts;
std::vector<std::string> g_errorCloses;
std::vector<std::string> g_errorBoxes;

void RecordAlert(const char* caption, const char* text) { g_alerts.push_back({caption, text}); }
void RecordErrorClose(const char* message) { g_errorCloses.push_back(message); }
void RecordErrorBox(const char* message) { g_errorBoxes.push_back(message); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Points $TMPDIR at a fresh folder for the life of the object.
class ScopedTmpDir {
 public:
  ScopedTmpDir() {
    if (const char* old = std::getenv("TMPDIR")) {
      old_ = old;
      hadOld_ = true;
    }
    setenv("TMPDIR", dir_.path().c_str(), 1);
  }
  ~ScopedTmpDir() {
    if (hadOld_) {
      setenv("TMPDIR", old_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;  // created under the outer temporary folder
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace

TEST(Diagnostics, DefaultAlertWritesCaptionAndTextLiterally) {
  testing::internal::CaptureStderr();
  MessageBox(nullptr, "Could not read file header (100% of %s %n)", "ERROR", 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ERROR"), std::string::npos) << err;
  EXPECT_NE(err.find("Could not read file header (100% of %s %n)"), std::string::npos) << err;
}

TEST(Diagnostics, HooksReceiveTheCallsAndDefaultsComeBack) {
  g_alerts.clear();
  g_errorCloses.clear();
  g_errorBoxes.clear();

  const AlertHook previousAlert = SetAlertHook(RecordAlert);
  SetErrorCloseHook(RecordErrorClose);
  SetErrorBoxHook(RecordErrorBox);
  MessageBox(nullptr, "Could not read file header", "ERROR", 0);
  MessageBox(nullptr, nullptr, nullptr, 0);
  ERRORCLOSE("Not a valid MS3D file!");
  ERRORCLOSE("50% done");
  ERRORBOX("Unable to load currency!");
  ASSERT_EQ(g_alerts.size(), 2u);
  EXPECT_EQ(g_alerts[0].first, "ERROR");
  EXPECT_EQ(g_alerts[0].second, "Could not read file header");
  EXPECT_EQ(g_alerts[1].first, "");
  EXPECT_EQ(g_alerts[1].second, "");
  EXPECT_EQ(g_errorCloses, (std::vector<std::string>{"Not a valid MS3D file!", "50% done"}));
  EXPECT_EQ(g_errorBoxes, (std::vector<std::string>{"Unable to load currency!"}));

  // Setting returns the hook it replaces; nullptr restores the default.
  EXPECT_EQ(SetAlertHook(nullptr), &RecordAlert);
  EXPECT_EQ(SetErrorCloseHook(nullptr), &RecordErrorClose);
  EXPECT_EQ(SetErrorBoxHook(nullptr), &RecordErrorBox);
  EXPECT_EQ(SetAlertHook(nullptr), previousAlert);

  // The default report hooks show nothing anywhere.
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  ERRORCLOSE("No BFly Data Found!");
  ERRORBOX("Error Loading BFly!");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(g_errorCloses.size(), 2u);
}

TEST(Diagnostics, AppendersWriteIntoTheTemporaryFolder) {
  ScopedTmpDir tmp;
  EXPECT_EQ(DebugFolder(), tmp.dir().path() + "/");

  SaveMatrix(MATRIX());
  EXPECT_EQ(ReadFile(tmp.dir().File("test.txt")),
            "\n"
            "1.00000 0.00000 0.00000 0.00000 \n"
            "0.00000 1.00000 0.00000 0.00000 \n"
            "0.00000 0.00000 1.00000 0.00000 \n"
            "0.00000 0.00000 0.00000 1.00000 \n");
  {
    // One line per column: the translation is the last line.
    MATRIX m;
    m.SetTranslation({1.5f, -2, 30});
    SaveMatrix(m);
    const std::string text = ReadFile(tmp.dir().File("test.txt"));
    EXPECT_NE(text.find("1.50000 -2.00000 30.00000 1.00000 \n"), std::string::npos) << text;
  }

  DEBUG(2.5);
  DEBUGstr("100% literal %s");
  DEBUGp3d({1, -2, 0.25f});
  DEBUGstr(nullptr);
  EXPECT_EQ(ReadFile(tmp.dir().File("debug.txt")),
            "2.500000\n100% literal %s\n1.000000,-2.000000,0.250000\n\n");

  // A folder that cannot be written to costs nothing and writes nothing.
  setenv("TMPDIR", tmp.dir().File("missing").c_str(), 1);
  DEBUG(1);
  SaveMatrix(MATRIX());
  EXPECT_FALSE(std::ifstream(tmp.dir().File("missing/debug.txt")).good());
}
