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
    Clear();
  }
  ~ReportRecorder() {
    SetErrorCloseHook(previousReport_);
    SetAlertHook(previousAlert_);
  }
  ReportRecorder(const ReportRecorder&) = delete;
  ReportRecorder& operator=(const ReportRecorder&) = delete;

  // Messages passed to ERRORCLOSE, in order.
  static std::vector<std::string>& Reports() { return reports_; }
  // Texts of the alerts, in order.
  static std::vector<std::string>& Alerts() { return alerts_; }
  void Clear() {
    reports_.clear();
    alerts_.clear();
  }

 private:
  static void Report(const char* message) { reports_.push_back(message); }
  static void Alert(const char*, const char* text) { alerts_.push_back(text); }

  static inline std::vector<std::string> reports_, alerts_;
  ReportHook previousReport_;
  AlertHook previousAlert_;
};
