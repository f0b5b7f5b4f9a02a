#pragma once
// The frame-rate overlay XScreenSaver's GL hacks offer ("Show frame rate",
// --fps): three lines in the bottom-left corner, the frames drawn per second
// and the process's CPU load (CPU time over wall time, per cent of one
// core), refreshed once a second, and the multisampling drawn with. Counting is plain arithmetic; only Draw
// touches OpenGL.
#include <string>

class FpsOverlay {
 public:
  double fps = 0.0;      // frames per second over the last full second
  double load = 0.0;     // CPU seconds per wall second over the same span, per cent
  bool measured = false; // a full second has been counted
  int samples = 0;       // multisample samples per pixel of the view; 0: none

  // One drawn frame at wall time `now` with the process's CPU time `cpu`
  // (both seconds, any origin, each rising).
  void Frame(double now, double cpu);

  // "FPS: 59.9", "Load: 12.3%" (dashes before the first second) and
  // "AA: 4x" or "AA: off".
  std::string Text() const;

  // The overlay's rectangle in a view of the given size: left, bottom,
  // width, height in window pixels (origin bottom left, as OpenGL's).
  static void Bounds(int viewWidth, int viewHeight, int rect[4]);

  // Draws the text over whatever is in the colour buffer (viewport
  // `viewWidth` x `viewHeight`), leaving the GL state it changed as it was.
  void Draw(int viewWidth, int viewHeight) const;

  // The process's CPU time, user and system, in seconds.
  static double ProcessCpuSeconds();

 private:
  double spanStart_ = -1.0;  // wall time the current span began, s
  double spanCpu_ = 0.0;     // CPU time then, s
  int spanFrames_ = 0;
};
