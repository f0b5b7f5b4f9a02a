#pragma once
// Where recorded frames go, chosen by the output name:
//  - "NAME.png": the last frame, written when the recording finishes;
//  - "NAME.mp4" or "NAME.gif": a clip at 60 frames per second, encoded by
//    ffmpeg, which reads the frames through a pipe;
//  - any other name: a folder (created when missing) that gets every frame as
//    "frame-00000.png", "frame-00001.png", ...
// Frames are RGB, 3 bytes per pixel, top row first.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FrameSink {
 public:
  enum class Kind { LastPng, Folder, Video };

  virtual ~FrameSink() = default;
  // False, with the reason in `error`, when the frame could not be stored.
  virtual bool Add(const std::vector<uint8_t>& rgb, std::string* error) = 0;
  // Finishes the output. False, with the reason in `error`, when it is not
  // complete.
  virtual bool Finish(std::string* error) = 0;
  // Where the result is, for the user.
  virtual std::string Describe() const = 0;

  // The kind of output a name asks for (suffixes are compared ignoring case).
  static Kind KindFor(const std::string& path);
  // A sink for width x height frames at `path`; null with the reason in
  // `error` when it cannot be opened (a folder that cannot be created, no
  // ffmpeg for a clip).
  static std::unique_ptr<FrameSink> Open(const std::string& path, int width, int height,
                                         std::string* error);
};

// Writes one RGB frame (top row first) as a PNG file. False with the reason
// in `error`.
bool WriteRgbPng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
                 std::string* error);

// The full path of `program` found on $PATH; empty when it is not there.
std::string FindOnPath(const char* program);
