#include "util/DamageRegion.h"

#include <algorithm>

namespace {

PixelRect BoundingBox(const PixelRect& a, const PixelRect& b) {
  const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  const int x1 = std::max(a.Right(), b.Right()), y1 = std::max(a.Top(), b.Top());
  return PixelRect{x0, y0, x1 - x0, y1 - y0};
}

// Overlapping or sharing an edge.
bool Touch(const PixelRect& a, const PixelRect& b) {
  return a.x <= b.Right() && b.x <= a.Right() && a.y <= b.Top() && b.y <= a.Top();
}

}  // namespace

void DamageRegion::Reset(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  full_ = false;
  rects_.clear();
}

void DamageRegion::AddFull() {
  full_ = true;
  rects_.assign(1, PixelRect{0, 0, width_, height_});
}

void DamageRegion::Add(PixelRect r) {
  if (full_) return;
  const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
  const int x1 = std::min(r.Right(), width_), y1 = std::min(r.Top(), height_);
  if (x1 <= x0 || y1 <= y0) return;
  rects_.push_back(PixelRect{x0, y0, x1 - x0, y1 - y0});
}

void DamageRegion::Add(const DamageRegion& other) {
  if (other.full_) {
    AddFull();
    return;
  }
  for (const PixelRect& r : other.rects_) Add(r);
}

void DamageRegion::Finish() {
  if (full_) return;
  // Touching rectangles become their bounding box until none touch; the box
  // may touch others, hence the restart.
  for (bool merged = true; merged;) {
    merged = false;
    for (size_t i = 0; i < rects_.size() && !merged; ++i) {
      for (size_t j = i + 1; j < rects_.size(); ++j) {
        if (Touch(rects_[i], rects_[j])) {
          rects_[i] = BoundingBox(rects_[i], rects_[j]);
          rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(j));
          merged = true;
          break;
        }
      }
    }
    if (!merged && rects_.size() > kMaxRects) {
      // The pair whose box adds the fewest pixels; the box may now overlap
      // others, so merging starts again.
      size_t bi = 0, bj = 1;
      long long best = -1;
      for (size_t i = 0; i < rects_.size(); ++i) {
        for (size_t j = i + 1; j < rects_.size(); ++j) {
          const long long grow = BoundingBox(rects_[i], rects_[j]).Area() - rects_[i].Area() -
                                 rects_[j].Area();
          if (best < 0 || grow < best) {
            best = grow;
            bi = i;
            bj = j;
          }
        }
      }
      rects_[bi] = BoundingBox(rects_[bi], rects_[bj]);
      rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(bj));
      merged = true;
    }
  }
  const long long view = static_cast<long long>(width_) * height_;
  if (view > 0 && static_cast<double>(Area()) > kFullShare * static_cast<double>(view)) AddFull();
}

long long DamageRegion::Area() const {
  long long area = 0;
  for (const PixelRect& r : rects_) area += r.Area();
  return area;
}

bool DamageRegion::Contains(int x, int y) const {
  for (const PixelRect& r : rects_) {
    if (r.Contains(x, y)) return true;
  }
  return false;
}

PixelRect DamageRegion::Bounds() const {
  if (rects_.empty()) return PixelRect{};
  PixelRect box = rects_.front();
  for (const PixelRect& r : rects_) box = BoundingBox(box, r);
  return box;
}
