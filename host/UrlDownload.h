#pragma once
// One download of a butterfly type into a folder, driven by the GLib main
// loop (libcurl's multi interface on the loop's file-descriptor watches and
// timeouts), so a window stays live while it runs.
//
// Life: Start -> didReceiveResponse -> decideDestination (the file name the
// server suggests) -> didReceiveDataOfLength for every piece -> exactly one
// of didFinish / didFail, from the main loop, never from Start itself.
//
// Nothing unverified lands: the body goes to a hidden temporary file in the
// destination's folder; when the transfer ends, the length (the stated size,
// else at most kMaxBytesWithoutSize), the SHA-256 (when stated) and `verify`
// must all pass before the file is renamed over the destination, so an
// existing file is replaced whole or not at all. On any failure the
// temporary file is removed and the folder is as it was.
//
// The suggested file name is the server's Content-Disposition name, else the
// last path component of the address the body came from (percent-decoded);
// it must end in ".bfly", must not start with "." and must not hold "/" or
// NUL, else the download fails.
//
// The delegate may destroy the download in its didFinish or didFail; that is
// the download's last call. Destroying a running download cancels it
// without any callback. Main thread only.
#include <glib.h>
#include <glib-unix.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/HttpTransfer.h"

class UrlDownload;

struct DownloadRequest {
  std::string url;
  int64_t size = -1;   // the stated length, bytes; -1: not stated
  std::string sha256;  // the stated SHA-256, lower-case hex; empty: not stated
  TransferLimits limits;
  // Whether the finished temporary file at the path is acceptable; false
  // with a one-line reason.
  std::function<bool(const std::string& path, std::string* reason)> verify;
};

struct DownloadError {
  std::string localizedDescription;  // what went wrong, one line
  std::string failingURL;            // the address the download was started with
};

struct UrlDownloadDelegate {
  // The destination path for the suggested file name; empty refuses the
  // download.
  std::function<std::string(UrlDownload*, const std::string& suggestedFilename)>
      decideDestination;
  // expectedLength: the response's length, below 1 when none was given.
  std::function<void(UrlDownload*, int64_t expectedLength, const std::string& mimeType)>
      didReceiveResponse;
  std::function<void(UrlDownload*, uint64_t length)> didReceiveDataOfLength;
  std::function<void(UrlDownload*)> didFinish;
  std::function<void(UrlDownload*, const DownloadError&)> didFail;
};

class UrlDownload {
 public:
  // The cap on a download whose size the catalogue does not state.
  static constexpr int64_t kMaxBytesWithoutSize = int64_t{64} << 20;

  UrlDownload() = default;
  ~UrlDownload();
  UrlDownload(const UrlDownload&) = delete;
  UrlDownload& operator=(const UrlDownload&) = delete;

  // Starts the transfer on the thread-default main context. False (without
  // callbacks) when it cannot be started; `error` says why.
  bool Start(const DownloadRequest& request, UrlDownloadDelegate delegate, std::string* error);
  bool running() const { return multi_ != nullptr; }
  // The destination decided for this download; empty before that.
  const std::string& destination() const { return destination_; }

  // The file name rule above.
  static bool IsAcceptableFileName(const std::string& name);
  // The name a Content-Disposition header value gives; empty when none.
  static std::string DispositionFileName(const std::string& headerValue);

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* user);
  static size_t OnBody(char* data, size_t size, size_t count, void* user);
  static int OnSocket(CURL* easy, curl_socket_t fd, int what, void* user, void* socketData);
  static int OnTimer(CURLM* multi, long timeoutMs, void* user);
  static gboolean OnFdReady(gint fd, GIOCondition condition, gpointer user);
  static gboolean OnTimeout(gpointer user);
  static gboolean OnEnd(gpointer user);

  bool BeginBody();
  void Fail(const std::string& description);
  void CheckDone();
  void Finish();
  void StopTransfer();
  bool Land(std::string* reason);
  void RemoveTemporary();

  DownloadRequest request_;
  UrlDownloadDelegate delegate_;
  CURLM* multi_ = nullptr;
  CURL* easy_ = nullptr;
  char errorBuffer_[CURL_ERROR_SIZE] = {};
  std::map<int, guint> watches_;  // socket -> GLib source id
  guint timer_ = 0;
  guint end_ = 0;
  bool started_ = false;     // the response has been reported
  bool done_ = false;        // the transfer has ended
  CURLcode result_ = CURLE_OK;
  std::string failure_;      // set when the download failed on our side
  std::string disposition_;  // Content-Disposition of the last response
  std::string destination_;
  std::string temporary_;
  int fd_ = -1;              // the temporary file
  int64_t received_ = 0;     // bytes
  int64_t cap_ = kMaxBytesWithoutSize;
  GChecksum* checksum_ = nullptr;
};
