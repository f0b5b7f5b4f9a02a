#include "host/FrameSink.h"

#include <errno.h>
#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != suffix[i]) return false;
  }
  return true;
}

class LastPngSink final : public FrameSink {
 public:
  LastPngSink(std::string path, int width, int height)
      : path_(std::move(path)), width_(width), height_(height) {}
  bool Add(const std::vector<uint8_t>& rgb, std::string*) override {
    last_ = rgb;
    return true;
  }
  bool Finish(std::string* error) override {
    if (last_.empty()) {
      *error = "no frame was drawn";
      return false;
    }
    return WriteRgbPng(path_, last_, width_, height_, error);
  }
  std::string Describe() const override { return path_; }

 private:
  std::string path_;
  int width_;
  int height_;
  std::vector<uint8_t> last_;
};

class FolderSink final : public FrameSink {
 public:
  FolderSink(std::string folder, int width, int height)
      : folder_(std::move(folder)), width_(width), height_(height) {}
  bool Add(const std::vector<uint8_t>& rgb, std::string* error) override {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%05u.png", count_);
    if (!WriteRgbPng(folder_ + name, rgb, width_, height_, error)) return false;
    ++count_;
    return true;
  }
  bool Finish(std::string* error) override {
    if (count_ == 0) {
      *error = "no frame was drawn";
      return false;
    }
    return true;
  }
  std::string Describe() const override {
    return folder_ + "/ (" + std::to_string(count_) + " frames)";
  }

 private:
  std::string folder_;
  int width_;
  int height_;
  unsigned count_ = 0;
};

// ffmpeg reading raw RGB frames from a pipe on its standard input.
class VideoSink final : public FrameSink {
 public:
  VideoSink(std::string path, pid_t pid, int fd) : path_(std::move(path)), pid_(pid), fd_(fd) {}
  ~VideoSink() override {
    std::string ignored;
    Finish(&ignored);
  }
  bool Add(const std::vector<uint8_t>& rgb, std::string* error) override {
    size_t done = 0;
    while (done < rgb.size() && fd_ >= 0) {
      const ssize_t n = write(fd_, rgb.data() + done, rgb.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        *error = "ffmpeg stopped reading the frames";
        return false;
      }
      done += static_cast<size_t>(n);
    }
    return fd_ >= 0;
  }
  bool Finish(std::string* error) override {
    if (pid_ < 0) return finished_;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    finished_ = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!finished_) *error = "ffmpeg could not encode " + path_;
    return finished_;
  }
  std::string Describe() const override { return path_; }

 private:
  std::string path_;
  pid_t pid_;
  int fd_;
  bool finished_ = false;
};

std::unique_ptr<FrameSink> OpenVideo(const std::string& path, int width, int height,
                                     std::string* error) {
  const std::string ffmpeg = FindOnPath("ffmpeg");
  if (ffmpeg.empty()) {
    *error = "recording to " + path +
             " needs ffmpeg, which is not installed (Debian: apt-get install ffmpeg); "
             "a .png name or a folder needs nothing more";
    return nullptr;
  }
  char size[32];
  std::snprintf(size, sizeof size, "%dx%d", width, height);
  const bool gif = EndsWithNoCase(path, ".gif");
  // H.264 in 4:2:0 wants even sides; GIF keeps 1/100 s delays, so 60 frames
  // per second would play back slowly: it gets every other frame.
  const char* filter = gif ? "fps=30,split[a][b];[a]palettegen[p];[b][p]paletteuse"
                           : "pad=ceil(iw/2)*2:ceil(ih/2)*2";
  std::vector<std::string> args = {ffmpeg,  "-hide_banner", "-loglevel", "error", "-y",
                                   "-f",    "rawvideo",     "-pix_fmt",  "rgb24", "-s",
                                   size,    "-framerate",   "60",        "-i",    "-",
                                   "-vf",   filter};
  if (!gif) {
    for (const char* a : {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf", "20"}) args.push_back(a);
  }
  args.push_back(path);

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = "cannot make a pipe to ffmpeg";
    return nullptr;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    *error = "cannot start ffmpeg";
    return nullptr;
  }
  if (pid == 0) {
    dup2(fds[0], STDIN_FILENO);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(ffmpeg.c_str(), argv.data());
    _exit(127);
  }
  close(fds[0]);
  // A writer whose reader died gets EPIPE instead of being killed.
  signal(SIGPIPE, SIG_IGN);
  return std::make_unique<VideoSink>(path, pid, fds[1]);
}

}  // namespace

FrameSink::Kind FrameSink::KindFor(const std::string& path) {
  if (EndsWithNoCase(path, ".png")) return Kind::LastPng;
  if (EndsWithNoCase(path, ".mp4") || EndsWithNoCase(path, ".gif")) return Kind::Video;
  return Kind::Folder;
}

std::unique_ptr<FrameSink> FrameSink::Open(const std::string& path, int width, int height,
                                           std::string* error) {
  switch (KindFor(path)) {
    case Kind::LastPng:
      return std::make_unique<LastPngSink>(path, width, height);
    case Kind::Video:
      return OpenVideo(path, width, height, error);
    case Kind::Folder: {
      std::string folder = path;
      while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
      std::error_code ec;
      std::filesystem::create_directories(folder, ec);
      if (!std::filesystem::is_directory(folder, ec)) {
        *error = "cannot create the folder " + folder;
        return nullptr;
      }
      return std::make_unique<FolderSink>(folder, width, height);
    }
  }
  return nullptr;
}

bool WriteRgbPng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
                 std::string* error) {
  if (width < 1 || height < 1 ||
      rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
    *error = "a frame of the wrong size";
    return false;
  }
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, width,
                                               height, width * 3, nullptr, nullptr);
  if (pixbuf == nullptr) {
    *error = "out of memory";
    return false;
  }
  GError* gerror = nullptr;
  const gboolean ok = gdk_pixbuf_save(pixbuf, path.c_str(), "png", &gerror, nullptr);
  g_object_unref(pixbuf);
  if (!ok) {
    *error = "cannot write " + path + (gerror != nullptr ? std::string(": ") + gerror->message : "");
    if (gerror != nullptr) g_error_free(gerror);
    return false;
  }
  return true;
}

std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr || path[0] == '\0') path = "/usr/local/bin:/usr/bin:/bin";
  std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}
