#include "platform/X11DesktopSource.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/X11Errors.h"
#include "platform/XRandRScreens.h"

namespace {

// Where a channel mask's bits lie: the lowest bit and how many there are.
struct Channel {
  int shift = 0;
  int bits = 0;
};

Channel ChannelOf(unsigned long mask) {
  Channel c;
  if (mask == 0) return c;
  while ((mask & 1UL) == 0) {
    mask >>= 1;
    ++c.shift;
  }
  while ((mask & 1UL) != 0) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}

// A channel's value scaled to 8 bits (a 5-bit 31 becomes 255).
uint8_t Expand(unsigned long pixel, const Channel& c) {
  if (c.bits == 0) return 0;
  const unsigned long v = (pixel >> c.shift) & ((1UL << c.bits) - 1);
  if (c.bits >= 8) return static_cast<uint8_t>(v >> (c.bits - 8));
  return static_cast<uint8_t>((v * 255 + ((1UL << c.bits) - 1) / 2) / ((1UL << c.bits) - 1));
}

// Converts the X image to RGBA, top row first, alpha 255. The masks come
// from the image or, for a pixmap's image (which carries none), from a
// TrueColor visual of the image's depth.
bool ToRgba(Display* display, XImage* image, RgbaImage* out) {
  unsigned long rm = image->red_mask, gm = image->green_mask, bm = image->blue_mask;
  if (rm == 0 || gm == 0 || bm == 0) {
    XVisualInfo vi{};
    if (!XMatchVisualInfo(display, DefaultScreen(display), image->depth, TrueColor, &vi)) {
      return false;
    }
    rm = vi.red_mask;
    gm = vi.green_mask;
    bm = vi.blue_mask;
  }
  const Channel r = ChannelOf(rm), g = ChannelOf(gm), b = ChannelOf(bm);
  out->width = image->width;
  out->height = image->height;
  out->pixels.assign(static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4,
                     255);
  uint8_t* dst = out->pixels.data();
  // The common case, 32-bit pixels with 8-bit channels in host order, read
  // directly; everything else through XGetPixel.
  constexpr int kHostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  const bool direct = image->format == ZPixmap && image->bits_per_pixel == 32 &&
                      image->byte_order == kHostOrder && r.bits == 8 && g.bits == 8 &&
                      b.bits == 8;
  for (int y = 0; y < image->height; ++y) {
    const char* row = image->data + static_cast<size_t>(y) * image->bytes_per_line;
    for (int x = 0; x < image->width; ++x, dst += 4) {
      unsigned long p;
      if (direct) {
        uint32_t v;
        std::memcpy(&v, row + static_cast<size_t>(x) * 4, 4);
        p = v;
      } else {
        p = XGetPixel(image, x, y);
      }
      dst[0] = Expand(p, r);
      dst[1] = Expand(p, g);
      dst[2] = Expand(p, b);
    }
  }
  return true;
}

}  // namespace

X11DesktopSource::X11DesktopSource(Display* display, Window saverWindow)
    : display_(display), saverWindow_(saverWindow) {}

Pixmap X11DesktopSource::ScreenshotPixmap(Display* display, Window window) {
  if (display == nullptr || window == 0) return 0;
  X11Errors::Trap trap(display);
  const Atom property = XInternAtom(display, "_SCREENSAVER_SCREENSHOT", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, window, property, 0, 1, False, XA_PIXMAP, &type,
                                        &format, &count, &after, &data);
  Pixmap pixmap = 0;
  if (status == Success && type == XA_PIXMAP && format == 32 && count == 1 && data != nullptr) {
    // Format-32 property items arrive as longs, whatever the wire size.
    pixmap = static_cast<Pixmap>(reinterpret_cast<unsigned long*>(data)[0]);
  }
  if (data != nullptr) XFree(data);
  if (trap.Sync() != 0) return 0;
  return pixmap;
}

bool X11DesktopSource::Grab(RgbaImage* out) {
  if (display_ == nullptr) return false;
  const ScreenList screens = XRandRScreens(display_).Screens();
  return GrabMonitor(screens.Main(), out);
}

bool X11DesktopSource::GrabArea(const ViewRect& area, RgbaImage* out) {
  if (display_ == nullptr) return false;
  const ScreenList screens = XRandRScreens(display_).Screens();
  const int number = screens.NumberForRect(area);
  const ScreenInfo* monitor = number >= 0 && static_cast<size_t>(number) < screens.screens.size()
                                  ? &screens.screens[static_cast<size_t>(number)]
                                  : screens.Main();
  return GrabMonitor(monitor, out);
}

bool X11DesktopSource::GrabMonitor(const ScreenInfo* monitor, RgbaImage* out) {
  if (display_ == nullptr || out == nullptr) return false;
  X11Errors::Install();
  const Window root = DefaultRootWindow(display_);
  Drawable drawable = ScreenshotPixmap(display_, saverWindow_);
  if (drawable == 0) drawable = root;

  unsigned gw = 0, gh = 0;
  const auto geometry = [&](Drawable d) {
    X11Errors::Trap trap(display_);
    Window geometryRoot = 0;
    int gx = 0, gy = 0;
    unsigned border = 0, depth = 0;
    const Status ok = XGetGeometry(display_, d, &geometryRoot, &gx, &gy, &gw, &gh, &border, &depth);
    return trap.Sync() == 0 && ok != 0;
  };
  if (!geometry(drawable)) {
    // A screenshot pixmap freed meanwhile: read the root window instead.
    if (drawable == root || !geometry(root)) return false;
    drawable = root;
  }

  // The monitor's part of the drawable. A screenshot as large as the root
  // holds every monitor at its root position; a smaller one is taken whole.
  int x = 0, y = 0, w = static_cast<int>(gw), h = static_cast<int>(gh);
  if (const ScreenInfo* main = monitor) {
    const int x0 = std::max(main->x, 0), y0 = std::max(main->y, 0);
    const int x1 = std::min(main->x + main->width, static_cast<int>(gw));
    const int y1 = std::min(main->y + main->height, static_cast<int>(gh));
    if (x1 > x0 && y1 > y0 && main->x + main->width <= static_cast<int>(gw) &&
        main->y + main->height <= static_cast<int>(gh)) {
      x = x0;
      y = y0;
      w = x1 - x0;
      h = y1 - y0;
    }
  }
  if (w < 1 || h < 1) return false;
  X11Errors::Trap trap(display_);
  XImage* image = XGetImage(display_, drawable, x, y, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (trap.Sync() != 0 || image == nullptr) {
    if (image != nullptr) XDestroyImage(image);
    return false;
  }
  const bool ok = ToRgba(display_, image, out);
  XDestroyImage(image);
  return ok && out->Valid();
}
