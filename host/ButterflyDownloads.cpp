#include "host/ButterflyDownloads.h"

#include <cstdio>
#include <new>

#include "butterflies/AQUARIUM.h"
#include "host/ButterflyFolder.h"
#include "host/CatalogueLine.h"
#include "host/DownloadServer.h"
#include "host/TypeVerification.h"

std::string ButterflyDownloads::CatalogueAddress() const { return CatalogueUrl(server); }

void ButterflyDownloads::ShowStatus(const std::string& text) {
  statusText = text;
  if (outlets.setStatusText) outlets.setStatusText(text);
}

// The "'" flag groups thousands as the locale does (POSIX; -Wpedantic only
// knows ISO C's flags).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
std::string ButterflyDownloads::PercentText(float percent) {
  char text[96];
  std::snprintf(text, sizeof text, "Downloading, Please Wait: %'2.2f%% Complete\n",
                static_cast<double>(percent));
  return text;
}

std::string ButterflyDownloads::BytesText(int64_t bytes) {
  char text[96];
  std::snprintf(text, sizeof text, "Downloading, Please Wait: %'lld bytes received\n",
                static_cast<long long>(bytes));
  return text;
}
#pragma GCC diagnostic pop

std::string ButterflyDownloads::FailureText(const DownloadError& error) {
  return "Download failed! Error - " + error.localizedDescription + " " + error.failingURL;
}

bool ButterflyDownloads::FetchCatalogue(const std::string& catalogueUrl,
                                        const TransferLimits& limits,
                                        std::vector<DOWNLOADDATA>* entries, std::string* error) {
  entries->clear();
  std::string body;
  if (!FetchToMemory(catalogueUrl, limits, kMaxCatalogueBytes, &body, error)) return false;
  std::vector<std::string> lines;
  if (!ParseCatalogue(body.data(), body.size(), &lines)) {
    *error = "the catalogue is not a text property list of strings";
    return false;
  }
  for (const std::string& line : lines) {
    DOWNLOADDATA entry;
    if (SplitCatalogueLine(line, &entry)) entries->push_back(entry);
  }
  return true;
}

bool ButterflyDownloads::CheckDownloads() {
  std::string body, error;
  std::vector<std::string> lines;
  if (!FetchToMemory(CatalogueAddress(), limits, kMaxCatalogueBytes, &body, &error) ||
      !ParseCatalogue(body.data(), body.size(), &lines)) {
    ShowStatus(kConnectErrorText);
    return false;
  }
  // Every element takes a slot; a line that is installed, or that is no
  // entry, gives its slot to the next one.
  numDownloads = static_cast<uint32_t>(lines.size());
  downloadData.reset(numDownloads > 0 ? new (std::nothrow) DOWNLOADDATA[numDownloads] : nullptr);
  if (numDownloads > 0 && !downloadData) numDownloads = 0;
  AQUARIUM* live = aquarium ? aquarium() : nullptr;
  const bool askInstalled = live != nullptr && live->bflyList && live->numBFlyTypes > 0;
  uint32_t w = 0;
  for (size_t i = 0; i < lines.size() && w < numDownloads; ++i) {
    DOWNLOADDATA& entry = downloadData[w];
    if (!SplitCatalogueLine(lines[i], &entry) ||
        (askInstalled && live->BFlyFileExists(entry.name))) {
      --numDownloads;
      continue;
    }
    ++w;
  }
  std::vector<std::string> titles;
  for (uint32_t i = 0; i < numDownloads; ++i) titles.emplace_back(downloadData[i].name);
  const bool any = !titles.empty();
  if (!any) titles.emplace_back(kNoneItem);
  if (outlets.setAvailableDownloads) outlets.setAvailableDownloads(titles, any);
  return true;
}

bool ButterflyDownloads::StartDownload(uint32_t index, const std::string& dataFolder) {
  if (theDownload || index >= numDownloads || !downloadData) return false;
  const DOWNLOADDATA& entry = downloadData[index];
  dataFolder_ = dataFolder;
  landed_.clear();
  bytesReceived = 0;
  expectedBytes = 0;
  if (outlets.setControlsEnabled) outlets.setControlsEnabled(false);
  if (outlets.setProgress) outlets.setProgress(0.0);
  if (outlets.setProgressAnimating) outlets.setProgressAnimating(true);

  DownloadRequest request;
  request.size = entry.size;
  request.sha256 = entry.sha256;
  request.limits = limits;
  request.verify = VerifyButterflyType;
  std::string error;
  if (!ResolveLocation(CatalogueAddress(), entry.location, &request.url)) {
    download_didFailWithError(nullptr, {"the entry's location is not an address", entry.location});
    return true;
  }
  if (!EnsureFolder(dataFolder_, &error)) {
    download_didFailWithError(nullptr, {error, request.url});
    return true;
  }
  UrlDownloadDelegate delegate;
  delegate.decideDestination = [this](UrlDownload* d, const std::string& name) {
    return download_decideDestinationWithSuggestedFilename(d, name);
  };
  delegate.didReceiveResponse = [this](UrlDownload* d, int64_t length, const std::string&) {
    download_didReceiveResponse(d, length);
  };
  delegate.didReceiveDataOfLength = [this](UrlDownload* d, uint64_t length) {
    download_didReceiveDataOfLength(d, length);
  };
  delegate.didFinish = [this](UrlDownload* d) { downloadDidFinish(d); };
  delegate.didFail = [this](UrlDownload* d, const DownloadError& e) { download_didFailWithError(d, e); };
  theDownload = DownloadPtr(new UrlDownload, [](UrlDownload* d) { delete d; });
  if (!theDownload->Start(request, std::move(delegate), &error)) {
    download_didFailWithError(theDownload.get(), {error, request.url});
  }
  return true;
}

std::string ButterflyDownloads::download_decideDestinationWithSuggestedFilename(
    UrlDownload*, const std::string& filename) {
  std::string folder = dataFolder_;
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + filename;
}

void ButterflyDownloads::download_didReceiveResponse(UrlDownload*, int64_t expectedLength) {
  bytesReceived = 0;
  expectedBytes = expectedLength;
}

void ButterflyDownloads::download_didReceiveDataOfLength(UrlDownload*, uint64_t length) {
  bytesReceived += static_cast<int64_t>(length);
  if (expectedBytes < 1) {
    ShowStatus(BytesText(bytesReceived));
    return;
  }
  const float percent =
      static_cast<float>(bytesReceived) / static_cast<float>(expectedBytes) * 100.0f;
  if (outlets.setProgress) outlets.setProgress(percent);
  ShowStatus(PercentText(percent));
}

void ButterflyDownloads::EndDownload() {
  if (outlets.setProgressAnimating) outlets.setProgressAnimating(false);
  if (outlets.setControlsEnabled) outlets.setControlsEnabled(true);
}

void ButterflyDownloads::downloadDidFinish(UrlDownload* download) {
  landed_ = download != nullptr ? download->destination() : std::string();
  theDownload.reset();  // `download` is gone from here on
  ShowStatus(kDownloadCompleteText);
  EndDownload();
  // The new type, now in the data folder, drops out of the list.
  CheckDownloads();
  if (outlets.typeLanded) outlets.typeLanded(landed_);
}

void ButterflyDownloads::download_didFailWithError(UrlDownload*, const DownloadError& error) {
  theDownload.reset();
  ShowStatus(FailureText(error));
  EndDownload();
}

bool ButterflyDownloads::download_shouldDecodeSourceDataOfMIMEType(UrlDownload*,
                                                                   const std::string& mimeType) {
  if (mimeType == "application/macbinary" || mimeType == "application/binhex") return false;
  return mimeType == "application/gzip";
}
