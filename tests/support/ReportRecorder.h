#pragma once
// Records what ERRORCLOSE reports and what MessageBox would show for as long
// as it lives, then restores the previous hooks. One at a time.
#include <string>
#include <vector>

#include "util/Diagnostics.h"

class ReportRecorder {
 public:
  ReportRecorder()
      : previousReport_(SetErrorCloseHook(&ReportRecorder::Report)),
        previousAlert_(SetAlertHook(&ReportRecorder::Alert)) {
    Reports().clear();
    Alerts().clear();
  }
  ~ReportRecorder() {
    SetErrorCloseHook(previousReport_);
    SetAlertHook(previousAlert_);
  }
  ReportRecorder(const ReportRecorder&) = delete;
  ReportRecorder& operator=(const ReportRecorder&) = delete;

  // Messages passed to ERRORCLOSE, in order.
  static std::vector<std::string>& Reports() {
    static std::vector<std::string> reports;
    return reports;
  }
  // Texts of the alerts, in order.
  static std::vector<std::string>& Alerts() {
    static std::vector<std::string> alerts;
    return alerts;
  }
  void Clear() {
    Reports().clear();
    Alerts().clear();
  }

 private:
  static void Report(const char* message) { Reports().push_back(message); }
  static void Alert(const char*, const char* text) { Alerts().push_back(text); }

  ReportHook previousReport_;
  AlertHook previousAlert_;
};
