#include "host/DownloadServer.h"

#include <curl/curl.h>

#include "platform/ScreenSaverDefaults.h"

#ifndef WINGDRIFT_DOWNLOAD_SERVER
#define WINGDRIFT_DOWNLOAD_SERVER ""
#endif

const char* BuiltInDownloadServer() { return WINGDRIFT_DOWNLOAD_SERVER; }

std::string DownloadServerAddress(const ScreenSaverDefaults& store) {
  if (const std::optional<std::string> stored = store.stringForKey(kDownloadServerKey)) return *stored;
  return BuiltInDownloadServer();
}

std::string CatalogueUrl(const std::string& server) {
  std::string base = server;
  while (!base.empty() && base.back() == '/') base.pop_back();
  if (base.empty()) return std::string();
  return base + kCataloguePath;
}

bool ResolveLocation(const std::string& catalogueUrl, const std::string& location,
                     std::string* url) {
  CURLU* u = curl_url();
  if (u == nullptr) return false;
  bool ok = curl_url_set(u, CURLUPART_URL, catalogueUrl.c_str(), 0) == CURLUE_OK &&
            curl_url_set(u, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK;
  char* full = nullptr;
  ok = ok && curl_url_get(u, CURLUPART_URL, &full, 0) == CURLUE_OK && full != nullptr;
  if (ok) *url = full;
  curl_free(full);
  curl_url_cleanup(u);
  return ok;
}
