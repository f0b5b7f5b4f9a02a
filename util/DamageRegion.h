#pragma once
// The parts of a view that changed since the frame before: a short list of
// pixel rectangles inside the view, or the whole view.
//
// Rectangles are added as they are found (clipped to the view); Finish
// merges overlapping ones, caps their number and turns the region into the
// whole view when it covers most of it, since one full-screen pass is then
// cheaper than several partial ones.
#include <cstddef>
#include <vector>

#include "util/PixelRect.h"

class DamageRegion {
 public:
  // At most this many rectangles after Finish.
  static constexpr size_t kMaxRects = 8;
  // Finish makes the region the whole view when its area exceeds this share
  // of the view.
  static constexpr double kFullShare = 0.5;

  // An empty region of a view of width x height pixels.
  void Reset(int width, int height);
  // The whole view.
  void AddFull();
  // `r`, clipped to the view; an empty or outside rectangle adds nothing.
  void Add(PixelRect r);
  // Every rectangle of `other` (the whole view when `other` is full).
  void Add(const DamageRegion& other);
  // Merges rectangles that overlap or touch (and, beyond kMaxRects, the
  // pairs whose bounding box grows least); full when the rest covers more
  // than kFullShare of the view.
  void Finish();

  bool full() const { return full_; }
  bool empty() const { return !full_ && rects_.empty(); }
  int width() const { return width_; }
  int height() const { return height_; }
  // The rectangles, disjoint after Finish; the view alone when full.
  const std::vector<PixelRect>& rects() const { return rects_; }
  // Pixels covered (after Finish: exactly, as the rectangles are disjoint).
  long long Area() const;
  bool Contains(int x, int y) const;
  // The smallest rectangle holding every rectangle; empty for an empty region.
  PixelRect Bounds() const;

 private:
  int width_ = 0;
  int height_ = 0;
  bool full_ = false;
  std::vector<PixelRect> rects_;
};
