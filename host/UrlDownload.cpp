#include "host/UrlDownload.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <strings.h>

namespace {

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '\t'))
    s.pop_back();
  size_t start = 0;
  while (start < s.size() && (s[start] == ' ' || s[start] == '\t')) ++start;
  return s.substr(start);
}

std::string PercentDecoded(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() + 0 && g_ascii_isxdigit(s[i + 1]) &&
        g_ascii_isxdigit(s[i + 2])) {
      out.push_back(static_cast<char>(g_ascii_xdigit_value(s[i + 1]) * 16 +
                                      g_ascii_xdigit_value(s[i + 2])));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// The last path component of `url`, percent-decoded (so an encoded "/"
// stays in the name, where the name rule refuses it).
std::string LastPathComponent(const char* url) {
  std::string name;
  CURLU* u = curl_url();
  if (u == nullptr) return name;
  char* path = nullptr;
  if (curl_url_set(u, CURLUPART_URL, url, 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_PATH, &path, 0) == CURLUE_OK && path != nullptr) {
    const std::string p = path;
    name = PercentDecoded(p.substr(p.rfind('/') + 1));
  }
  curl_free(path);
  curl_url_cleanup(u);
  return name;
}

std::string Folder(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

UrlDownload::~UrlDownload() {
  StopTransfer();
  if (end_ != 0) g_source_remove(end_);
  RemoveTemporary();
  if (checksum_ != nullptr) g_checksum_free(checksum_);
}

bool UrlDownload::IsAcceptableFileName(const std::string& name) {
  static constexpr char kSuffix[] = ".bfly";
  const size_t suffix = sizeof kSuffix - 1;
  return name.size() > suffix && name.compare(name.size() - suffix, suffix, kSuffix) == 0 &&
         name[0] != '.' && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::string UrlDownload::DispositionFileName(const std::string& value) {
  std::string lower = value;
  for (char& c : lower) c = g_ascii_tolower(c);
  size_t at = lower.find("filename*=");
  if (at != std::string::npos) {
    // RFC 5987: charset'language'percent-encoded
    std::string v = value.substr(at + 10);
    v = v.substr(0, v.find(';'));
    const size_t quote = v.find("''");
    return PercentDecoded(Trimmed(quote == std::string::npos ? v : v.substr(quote + 2)));
  }
  at = lower.find("filename=");
  if (at == std::string::npos) return std::string();
  std::string v = value.substr(at + 9);
  if (!v.empty() && v[0] == '"') {
    const size_t end = v.find('"', 1);
    return v.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  }
  return Trimmed(v.substr(0, v.find(';')));
}

bool UrlDownload::Start(const DownloadRequest& request, UrlDownloadDelegate delegate,
                        std::string* error) {
  if (multi_ != nullptr || end_ != 0) {
    *error = "a download is already running";
    return false;
  }
  request_ = request;
  delegate_ = std::move(delegate);
  cap_ = request_.size >= 0 ? request_.size : kMaxBytesWithoutSize;
  multi_ = curl_multi_init();
  easy_ = curl_easy_init();
  if (multi_ == nullptr || easy_ == nullptr) {
    StopTransfer();
    *error = "cannot start a transfer";
    return false;
  }
  ConfigureTransfer(easy_, request_.url, request_.limits, errorBuffer_);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, request_.limits.stallSeconds);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, OnSocket);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, OnTimer);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
    StopTransfer();
    *error = "cannot start a transfer";
    return false;
  }
  return true;
}

size_t UrlDownload::OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* self = static_cast<UrlDownload*>(user);
  const size_t n = size * count;
  const std::string line(data, n);
  static constexpr char kDisposition[] = "content-disposition:";
  if (line.compare(0, 5, "HTTP/") == 0) {
    self->disposition_.clear();  // each response of a redirect chain has its own
  } else if (n > sizeof kDisposition - 1 &&
             strncasecmp(line.c_str(), kDisposition, sizeof kDisposition - 1) == 0) {
    self->disposition_ = Trimmed(line.substr(sizeof kDisposition - 1));
  }
  return n;
}

bool UrlDownload::BeginBody() {
  started_ = true;
  long status = 0;
  curl_off_t length = -1;
  const char* type = nullptr;
  const char* where = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  curl_easy_getinfo(easy_, CURLINFO_CONTENT_TYPE, &type);
  curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &where);
  if (status < 200 || status > 299) {
    Fail("the server answered with status " + std::to_string(status));
    return false;
  }
  if (delegate_.didReceiveResponse)
    delegate_.didReceiveResponse(this, length >= 0 ? length : -1, type ? type : "");

  const std::string suggested = !disposition_.empty() ? DispositionFileName(disposition_)
                                                      : LastPathComponent(where ? where : "");
  if (!IsAcceptableFileName(suggested)) {
    Fail("the server's file name \"" + std::string(suggested.c_str()) +
         "\" is not a butterfly type's file name");
    return false;
  }
  if (delegate_.decideDestination) destination_ = delegate_.decideDestination(this, suggested);
  if (destination_.empty()) {
    Fail("no destination for " + suggested);
    return false;
  }
  if (length >= 0 && request_.size >= 0 && length != request_.size) {
    Fail("the server's length, " + std::to_string(length) + " bytes, is not the catalogue's " +
         std::to_string(request_.size));
    return false;
  }
  if (length > cap_) {
    Fail("the file is larger than " + std::to_string(cap_) + " bytes");
    return false;
  }
  std::string pattern = Folder(destination_) + "/." + suggested + ".XXXXXX";
  fd_ = g_mkstemp_full(pattern.data(), O_RDWR | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    Fail(Errno("cannot write into " + Folder(destination_)));
    return false;
  }
  temporary_ = pattern;
  checksum_ = g_checksum_new(G_CHECKSUM_SHA256);
  return true;
}

size_t UrlDownload::OnBody(char* data, size_t size, size_t count, void* user) {
  auto* self = static_cast<UrlDownload*>(user);
  const size_t n = size * count;
  if (!self->failure_.empty()) return CURL_WRITEFUNC_ERROR;
  if (!self->started_ && !self->BeginBody()) return CURL_WRITEFUNC_ERROR;
  if (self->received_ + static_cast<int64_t>(n) > self->cap_) {
    self->Fail(self->request_.size >= 0
                   ? "the server sent more than the catalogue's " + std::to_string(self->cap_) +
                         " bytes"
                   : "the file is larger than " + std::to_string(self->cap_) + " bytes");
    return CURL_WRITEFUNC_ERROR;
  }
  for (size_t done = 0; done < n;) {
    const ssize_t w = write(self->fd_, data + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      self->Fail(Errno("cannot write " + self->temporary_));
      return CURL_WRITEFUNC_ERROR;
    }
    done += static_cast<size_t>(w);
  }
  g_checksum_update(self->checksum_, reinterpret_cast<const guchar*>(data), static_cast<gssize>(n));
  self->received_ += static_cast<int64_t>(n);
  if (self->delegate_.didReceiveDataOfLength) self->delegate_.didReceiveDataOfLength(self, n);
  return n;
}

int UrlDownload::OnSocket(CURL*, curl_socket_t fd, int what, void* user, void*) {
  auto* self = static_cast<UrlDownload*>(user);
  const auto found = self->watches_.find(fd);
  if (found != self->watches_.end()) {
    g_source_remove(found->second);
    self->watches_.erase(found);
  }
  if (what == CURL_POLL_REMOVE) return 0;
  int conditions = G_IO_ERR | G_IO_HUP;
  if (what & CURL_POLL_IN) conditions |= G_IO_IN;
  if (what & CURL_POLL_OUT) conditions |= G_IO_OUT;
  self->watches_[fd] =
      g_unix_fd_add(fd, static_cast<GIOCondition>(conditions), OnFdReady, self);
  return 0;
}

int UrlDownload::OnTimer(CURLM*, long timeoutMs, void* user) {
  auto* self = static_cast<UrlDownload*>(user);
  if (self->timer_ != 0) g_source_remove(self->timer_);
  self->timer_ = 0;
  if (timeoutMs >= 0) self->timer_ = g_timeout_add(static_cast<guint>(timeoutMs), OnTimeout, self);
  return 0;
}

gboolean UrlDownload::OnFdReady(gint fd, GIOCondition condition, gpointer user) {
  auto* self = static_cast<UrlDownload*>(user);
  int action = 0;
  if (condition & G_IO_IN) action |= CURL_CSELECT_IN;
  if (condition & G_IO_OUT) action |= CURL_CSELECT_OUT;
  if (condition & (G_IO_ERR | G_IO_HUP)) action |= CURL_CSELECT_ERR;
  int running = 0;
  curl_multi_socket_action(self->multi_, fd, action, &running);
  self->CheckDone();
  return G_SOURCE_CONTINUE;
}

gboolean UrlDownload::OnTimeout(gpointer user) {
  auto* self = static_cast<UrlDownload*>(user);
  self->timer_ = 0;
  int running = 0;
  curl_multi_socket_action(self->multi_, CURL_SOCKET_TIMEOUT, 0, &running);
  self->CheckDone();
  return G_SOURCE_REMOVE;
}

void UrlDownload::CheckDone() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg == CURLMSG_DONE) {
      result_ = message->data.result;
      done_ = true;
    }
  }
  // Ends from the loop, ahead of the socket watches, never from inside
  // libcurl's callbacks.
  if (done_ && end_ == 0) end_ = g_idle_add_full(G_PRIORITY_HIGH, OnEnd, this, nullptr);
}

gboolean UrlDownload::OnEnd(gpointer user) {
  static_cast<UrlDownload*>(user)->Finish();
  return G_SOURCE_REMOVE;
}

void UrlDownload::Fail(const std::string& description) {
  if (failure_.empty()) failure_ = description;
}

void UrlDownload::StopTransfer() {
  if (multi_ != nullptr && easy_ != nullptr) curl_multi_remove_handle(multi_, easy_);
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  easy_ = nullptr;
  if (multi_ != nullptr) curl_multi_cleanup(multi_);
  multi_ = nullptr;
  for (const auto& [fd, id] : watches_) g_source_remove(id);
  watches_.clear();
  if (timer_ != 0) g_source_remove(timer_);
  timer_ = 0;
}

void UrlDownload::RemoveTemporary() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) unlink(temporary_.c_str());
  temporary_.clear();
}

bool UrlDownload::Land(std::string* reason) {
  if (fsync(fd_) != 0 || close(fd_) != 0) {
    fd_ = -1;
    *reason = Errno("cannot write " + temporary_);
    return false;
  }
  fd_ = -1;
  if (request_.size >= 0 && received_ != request_.size) {
    *reason = "the server sent " + std::to_string(received_) + " bytes, not the catalogue's " +
              std::to_string(request_.size);
    return false;
  }
  if (!request_.sha256.empty() && request_.sha256 != g_checksum_get_string(checksum_)) {
    *reason = "the file's SHA-256 is not the catalogue's";
    return false;
  }
  if (request_.verify && !request_.verify(temporary_, reason)) return false;
  if (rename(temporary_.c_str(), destination_.c_str()) != 0) {
    *reason = Errno("cannot save " + destination_);
    return false;
  }
  temporary_.clear();
  const int folder = open(Folder(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

void UrlDownload::Finish() {
  end_ = 0;
  StopTransfer();
  if (failure_.empty() && result_ != CURLE_OK) failure_ = TransferError(result_, errorBuffer_);
  if (failure_.empty() && !started_) failure_ = "the server sent no data";
  std::string reason;
  if (failure_.empty() && !Land(&reason)) failure_ = reason;
  if (!failure_.empty()) {
    RemoveTemporary();
    const DownloadError error{failure_, request_.url};
    const auto didFail = delegate_.didFail;
    if (didFail) didFail(this, error);  // may destroy this download
    return;
  }
  const auto didFinish = delegate_.didFinish;
  if (didFinish) didFinish(this);  // may destroy this download
}
