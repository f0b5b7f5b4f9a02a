#include "host/HttpTransfer.h"

#include <memory>

namespace {

struct EasyFree {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

struct MemorySink {
  std::string* body;
  int64_t maxBytes;
  bool overflow = false;
};

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<MemorySink*>(user);
  const size_t n = size * count;
  if (static_cast<int64_t>(sink->body->size() + n) > sink->maxBytes) {
    sink->overflow = true;
    return CURL_WRITEFUNC_ERROR;
  }
  sink->body->append(data, n);
  return n;
}

}  // namespace

void ConfigureTransfer(CURL* curl, const std::string& url, const TransferLimits& limits,
                       char* errorBuffer) {
  errorBuffer[0] = '\0';
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(limits.maxRedirects));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "wingdrift");
}

std::string TransferError(CURLcode code, const char* errorBuffer) {
  if (errorBuffer != nullptr && errorBuffer[0] != '\0') {
    std::string text = errorBuffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
  }
  return curl_easy_strerror(code);
}

bool FetchToMemory(const std::string& url, const TransferLimits& limits, int64_t maxBytes,
                   std::string* body, std::string* error) {
  body->clear();
  const std::unique_ptr<CURL, EasyFree> curl(curl_easy_init());
  if (!curl) {
    *error = "cannot start a transfer";
    return false;
  }
  char errorBuffer[CURL_ERROR_SIZE];
  ConfigureTransfer(curl.get(), url, limits, errorBuffer);
  MemorySink sink{body, maxBytes};
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, limits.totalSeconds);
  // Refuses a stated length over the cap before any of the body arrives.
  curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);
  const CURLcode code = curl_easy_perform(curl.get());
  if (code != CURLE_OK) {
    *error = sink.overflow ? "more than " + std::to_string(maxBytes) + " bytes"
                           : TransferError(code, errorBuffer);
    body->clear();
    return false;
  }
  return true;
}
