#pragma once
// What the catalogue check and the downloads show: the sheet's controls, or
// a command-line tool's output. Unset members are not shown.
#include <functional>
#include <string>
#include <vector>

struct DownloadOutlets {
  // oDownloadText: the status text.
  std::function<void(const std::string& text)> setStatusText;
  // oAvailableDownloads: the pop-up's items, replacing all; `enabled` false
  // for the single item "None".
  std::function<void(const std::vector<std::string>& titles, bool enabled)> setAvailableDownloads;
  // oProgress: the progress bar, per cent (0..100).
  std::function<void(double percent)> setProgress;
  // oProgress: its busy animation started or stopped.
  std::function<void(bool animating)> setProgressAnimating;
  // oAvailableDownloads, oDownload, oCheckDownloads, oDirectory and oSave:
  // disabled while a download runs, enabled again when it ends.
  std::function<void(bool enabled)> setControlsEnabled;
  // A verified type landed in the data folder (after the fresh check): a
  // sheet recreates its preview view so the type pop-up lists it.
  std::function<void(const std::string& path)> typeLanded;
};
