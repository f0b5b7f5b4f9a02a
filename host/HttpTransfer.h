#pragma once
// The limits every transfer of the download code works within, and the
// synchronous fetch of a small document.
#include <curl/curl.h>

#include <cstdint>
#include <string>

struct TransferLimits {
  long connectSeconds = 10;  // to get a connection, s
  long totalSeconds = 30;    // a whole catalogue fetch, s
  // A download is given up when it receives nothing for this long, s (a
  // download has no total limit: a large type on a slow line may take long).
  long stallSeconds = 30;
  int maxRedirects = 3;
};

// The catalogue fetch accepts at most this many bytes.
inline constexpr int64_t kMaxCatalogueBytes = 1 << 20;

// Sets what every transfer shares: `url`, HTTP and HTTPS only (redirects
// too), at most limits.maxRedirects redirects, the connect limit,
// certificate and host checks on, HTTP errors (400 and above) as failures,
// no signals. `errorBuffer` (CURL_ERROR_SIZE bytes) receives curl's details.
void ConfigureTransfer(CURL* curl, const std::string& url, const TransferLimits& limits,
                       char* errorBuffer);

// A failed transfer's description: curl's details when it gave any, else
// the text of `code`.
std::string TransferError(CURLcode code, const char* errorBuffer);

// Fetches `url` into `body`, synchronously, within limits.totalSeconds and
// at most `maxBytes` (enforced while receiving, whether or not the server
// states a length). False with a one-line reason in `error`.
bool FetchToMemory(const std::string& url, const TransferLimits& limits, int64_t maxBytes,
                   std::string* body, std::string* error);
