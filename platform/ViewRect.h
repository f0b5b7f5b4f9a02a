#pragma once
// A rectangle of a view or window: origin and size in pixels. Origins are in
// root-window coordinates (x to the right, y downwards) where they matter;
// a view's bounds have origin (0, 0).

struct ViewRect {
  double x = 0;       // pixels
  double y = 0;       // pixels
  double width = 0;   // pixels
  double height = 0;  // pixels
};
