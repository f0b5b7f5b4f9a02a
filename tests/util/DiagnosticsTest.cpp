#include "util/Diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;
void RecordAlert(const char* caption, const char* text) {
  g_calls.push_back(std::string("alert ") + caption + ": " + text);
}
void RecordErrorClose(const char* message) { g_calls.push_back(std::string("close ") + message); }
void RecordErrorBox(const char* message) { g_calls.push_back(std::string("box ") + message); }

}  // namespace

TEST(Diagnostics, DefaultAlertWritesCaptionAndTextLiterally) {
  testing::internal::CaptureStderr();
  MessageBox(nullptr, "Could not read file header (100% of %s %n)", "ERROR", 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ERROR"), std::string::npos) << err;
  EXPECT_NE(err.find("Could not read file header (100% of %s %n)"), std::string::npos) << err;
}

TEST(Diagnostics, HooksReceiveTheCallsAndDefaultsShowNothing) {
  g_calls.clear();
  const AlertHook previousAlert = SetAlertHook(RecordAlert);
  SetErrorCloseHook(RecordErrorClose);
  SetErrorBoxHook(RecordErrorBox);
  MessageBox(nullptr, "Could not read file header", "ERROR", 0);
  MessageBox(nullptr, nullptr, nullptr, 0);
  ERRORCLOSE("50% done");
  ERRORBOX("Unable to load currency!");
  EXPECT_EQ(g_calls, (std::vector<std::string>{"alert ERROR: Could not read file header", "alert : ",
                                               "close 50% done", "box Unable to load currency!"}));

  // Setting returns the hook it replaces; nullptr restores the default, and
  // the default report hooks show nothing.
  EXPECT_EQ(SetErrorCloseHook(nullptr), &RecordErrorClose);
  EXPECT_EQ(SetErrorBoxHook(nullptr), &RecordErrorBox);
  EXPECT_EQ(SetAlertHook(previousAlert), &RecordAlert);
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  ERRORCLOSE("No BFly Data Found!");
  ERRORBOX("Error Loading BFly!");
  EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "");
}
