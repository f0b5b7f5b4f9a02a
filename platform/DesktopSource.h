#pragma once
// Where the desktop capture reads the picture of the main display from (the
// stand-in for the host's display image). The real source reads the X server
// (X11DesktopSource); tests supply a picture of their own.
#include <memory>
#include <utility>

#include "platform/PackedPixels.h"
#include "platform/RgbaImage.h"
#include "platform/ViewRect.h"

class DesktopSource {
 public:
  virtual ~DesktopSource() = default;
  // The main display's current contents, top row first, alpha 255. False
  // when there is nothing to read (no display, a picture the server refused).
  virtual bool Grab(RgbaImage* out) = 0;
  // The contents of the monitor that `area` (root coordinates) overlaps
  // most, so that each view shows its own monitor's desktop. A source that
  // knows only one picture returns Grab's.
  virtual bool GrabArea(const ViewRect& area, RgbaImage* out) {
    (void)area;
    return Grab(out);
  }
  // GrabArea's picture in the source's own pixel layout, which spares the
  // capture a conversion and a copy of the whole screen. This one converts
  // nothing: it holds GrabArea's picture.
  virtual bool GrabPixels(const ViewRect& area, PackedPixels* out) {
    auto image = std::make_shared<RgbaImage>();
    if (out == nullptr || !GrabArea(area, image.get()) || !image->Valid()) return false;
    *out = PackedPixels::Of(*image);
    out->keep = std::move(image);
    return true;
  }
};
