#pragma once
// A rectangle of window pixels as OpenGL counts them: origin at the lower-left
// corner, x to the right, y upwards; `width` x `height` pixels from (x, y).

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;   // pixels; 0 or less: empty
  int height = 0;  // pixels; 0 or less: empty

  bool Empty() const { return width <= 0 || height <= 0; }
  int Right() const { return x + width; }   // one past the last column
  int Top() const { return y + height; }    // one past the last row
  long long Area() const { return Empty() ? 0 : static_cast<long long>(width) * height; }
  bool Contains(int px, int py) const { return px >= x && px < Right() && py >= y && py < Top(); }
  // Some pixel lies in both.
  bool Intersects(const PixelRect& o) const {
    return !Empty() && !o.Empty() && x < o.Right() && o.x < Right() && y < o.Top() && o.y < Top();
  }
  bool operator==(const PixelRect&) const = default;
};
