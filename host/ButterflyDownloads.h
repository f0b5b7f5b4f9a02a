#pragma once
// The catalogue check and the downloads of the configuration sheet: the
// catalogue's not-yet-installed entries, the running download and its
// progress, shown through DownloadOutlets.
//
// A sheet owns one (the view's downloadData, numDownloads, bytesReceived,
// expectedBytes and theDownload live here) and:
//  - on opening: sets `server` = DownloadServerAddress(store) (shown in an
//    entry; saved back under kDownloadServerKey), `outlets` to its controls
//    and `aquarium` to the preview scene's container; when !CanCheck() it
//    disables the check button and labels it kNoServerText;
//  - configureSheet_checkdownloads: CheckDownloads();
//  - configureSheet_download: StartDownload(selected pop-up index, the
//    record's BFlyPath2);
//  - outlets.typeLanded: recreates its preview view;
//  - keeps running the GLib main loop (GTK does); the download reports back
//    through the delegate methods from it.
// Destroying it cancels a running download, leaving the folder as it was.
// Main thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/DOWNLOADDATA.h"
#include "host/DownloadOutlets.h"
#include "host/HttpTransfer.h"
#include "host/UrlDownload.h"

class AQUARIUM;

// The status texts.
inline constexpr const char* kConnectErrorText = "Error! Could not connect to the server!";
inline constexpr const char* kDownloadCompleteText = "Download Complete!";
inline constexpr const char* kNoneItem = "None";
// The check button's label when no server address is set.
inline constexpr const char* kNoServerText = "No download server is set";

class ButterflyDownloads {
 public:
  // A download ended through the deleter it was started with: an owner that
  // only ever ends downloads (the view, in the saver, which never starts
  // one) then links none of the transfer code.
  using DownloadPtr = std::unique_ptr<UrlDownload, void (*)(UrlDownload*)>;

  std::unique_ptr<DOWNLOADDATA[]> downloadData;  // the entries not yet installed, in catalogue order
  uint32_t numDownloads = 0;                     // valid entries in downloadData
  int64_t bytesReceived = 0;                     // by the running download, bytes
  int64_t expectedBytes = 0;                     // the response's length, below 1 when none given
  DownloadPtr theDownload{nullptr, nullptr};     // the running download, or none

  std::string server;       // the download server's base address; empty: no check
  TransferLimits limits;
  DownloadOutlets outlets;
  // The live butterfly container whose data folder tells which types are
  // installed; null or returning null: none is known, every entry counts.
  std::function<AQUARIUM*()> aquarium;
  std::string statusText;   // what setStatusText last showed

  ButterflyDownloads() = default;
  ButterflyDownloads(const ButterflyDownloads&) = delete;
  ButterflyDownloads& operator=(const ButterflyDownloads&) = delete;

  bool CanCheck() const { return !server.empty(); }
  std::string CatalogueAddress() const;

  // configureSheet_checkdownloads: fetches the catalogue (synchronously,
  // within `limits`, at most kMaxCatalogueBytes) and fills the pop-up with
  // the entries not yet installed, or the single disabled "None". When the
  // catalogue cannot be fetched or read, shows kConnectErrorText and changes
  // nothing else; false then.
  bool CheckDownloads();
  // configureSheet_download: starts downloading entry `index` into
  // `dataFolder` (created when missing), disabling the five controls. False
  // when it cannot start (no such entry, a download running); a start that
  // fails later ends in download_didFailWithError.
  bool StartDownload(uint32_t index, const std::string& dataFolder);

  // The download's delegate.
  std::string download_decideDestinationWithSuggestedFilename(UrlDownload* download,
                                                               const std::string& filename);
  void download_didReceiveResponse(UrlDownload* download, int64_t expectedLength);
  void download_didReceiveDataOfLength(UrlDownload* download, uint64_t length);
  void downloadDidFinish(UrlDownload* download);
  void download_didFailWithError(UrlDownload* download, const DownloadError& error);
  // download:shouldDecodeSourceDataOfMIMEType: false for
  // "application/macbinary" and "application/binhex", true for
  // "application/gzip", false otherwise. Nothing calls it.
  static bool download_shouldDecodeSourceDataOfMIMEType(UrlDownload* download,
                                                        const std::string& mimeType);

  // The catalogue's entries, all of them, in order (lines without a second
  // part, or with a malformed size or hash, left out). False with the reason
  // in `error` when it cannot be fetched or read.
  static bool FetchCatalogue(const std::string& catalogueUrl, const TransferLimits& limits,
                             std::vector<DOWNLOADDATA>* entries, std::string* error);

  // The status texts, numbers in the locale's format.
  static std::string PercentText(float percent);
  static std::string BytesText(int64_t bytes);
  static std::string FailureText(const DownloadError& error);

 private:
  void ShowStatus(const std::string& text);
  void EndDownload();

  std::string dataFolder_;  // where the running download lands
  std::string landed_;      // the path of the type that landed
};
