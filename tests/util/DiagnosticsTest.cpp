#include "util/Diagnostics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/ReportRecorder.h"

TEST(Diagnostics, AlertsShowTheirTextLiterallyAndReportsShowNothing) {
  testing::internal::CaptureStderr();
  MessageBox(nullptr, "Could not read file header (100% of %s %n)", "ERROR", 0);
  ERRORCLOSE("No BFly Data Found!");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ERROR"), std::string::npos) << err;
  EXPECT_NE(err.find("Could not read file header (100% of %s %n)"), std::string::npos) << err;
  EXPECT_EQ(err.find("BFly"), std::string::npos) << err;

  // Hooks receive the calls.
  ReportRecorder reports;
  MessageBox(nullptr, "Could not read file header", "ERROR", 0);
  MessageBox(nullptr, nullptr, nullptr, 0);
  ERRORCLOSE("50% done");
  EXPECT_EQ(ReportRecorder::Alerts(), (std::vector<std::string>{"Could not read file header", ""}));
  EXPECT_EQ(ReportRecorder::Reports(), std::vector<std::string>{"50% done"});
}
