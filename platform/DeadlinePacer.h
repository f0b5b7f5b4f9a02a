#pragma once
// Paces a repeating timer to deadlines on a fixed grid.
//
// Tick n falls due at start + n * interval, whatever each frame cost: a frame
// that runs long delays only the tick after it, and the following ticks keep
// to the grid. Ticks whose time passed entirely during a long frame or a stall
// are skipped, never delivered in a burst. Times are seconds on one clock
// (FrameClock); the pacer itself never reads a clock.

class DeadlinePacer {
 public:
  // The shortest interval the pacer keeps; a smaller or non-finite request
  // (a zero interval would mean a busy loop) uses this one.
  static constexpr double kMinInterval = 0.001;  // seconds

  // Starts the grid: the first tick falls due one interval after `now`.
  void Start(double now, double interval);
  void Stop() { running_ = false; }
  bool running() const { return running_; }

  // The current tick is due at `now`.
  bool Due(double now) const { return running_ && now >= next_; }
  // Moves to the next grid point after the one just delivered; when that is
  // not later than `now` (the frame overran), skips to the first one that is.
  void Advance(double now);
  // Seconds from `now` until the next tick (0 when it is due); negative when
  // the pacer is stopped.
  double SecondsUntilDue(double now) const;

  double next() const { return next_; }          // clock time of the next tick, seconds
  double interval() const { return interval_; }  // seconds
  unsigned long long skipped() const { return skipped_; }  // ticks dropped since Start

 private:
  bool running_ = false;
  double next_ = 0;                   // seconds
  double interval_ = 1.0 / 60.0;      // seconds
  unsigned long long skipped_ = 0;
};
