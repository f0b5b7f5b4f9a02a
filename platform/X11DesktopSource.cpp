#include "platform/X11DesktopSource.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

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

// The masks of the image's channels: its own, or for a pixmap's image (which
// carries none) those of a TrueColor visual of its depth. False when there
// is no such visual.
bool MasksOf(Display* display, const XImage* image, unsigned long* r, unsigned long* g,
             unsigned long* b) {
  *r = image->red_mask;
  *g = image->green_mask;
  *b = image->blue_mask;
  if (*r != 0 && *g != 0 && *b != 0) return true;
  XVisualInfo vi{};
  if (!XMatchVisualInfo(display, DefaultScreen(display), image->depth, TrueColor, &vi)) {
    return false;
  }
  *r = vi.red_mask;
  *g = vi.green_mask;
  *b = vi.blue_mask;
  return true;
}

// Converts the X image to RGBA, top row first, alpha 255.
bool ToRgba(Display* display, XImage* image, RgbaImage* out) {
  unsigned long rm = 0, gm = 0, bm = 0;
  if (!MasksOf(display, image, &rm, &gm, &bm)) return false;
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

// Reads w x h pixels at (x, y) of `drawable` (of `depth` bits) through a
// shared memory segment. Null when the server offers no MIT-SHM to this
// connection (a remote one) or any step fails; the caller then reads over
// the connection. The segment goes with the image.
std::shared_ptr<XImage> ReadShared(Display* display, Drawable drawable, int x, int y, int w, int h,
                                   unsigned depth) {
  if (XShmQueryExtension(display) == False) return nullptr;
  const int screen = DefaultScreen(display);
  Visual* visual = nullptr;
  XVisualInfo vi{};
  if (static_cast<int>(depth) == DefaultDepth(display, screen)) {
    visual = DefaultVisual(display, screen);
  } else if (XMatchVisualInfo(display, screen, static_cast<int>(depth), TrueColor, &vi)) {
    visual = vi.visual;
  } else {
    return nullptr;
  }
  auto info = std::make_shared<XShmSegmentInfo>();
  XImage* image = XShmCreateImage(display, visual, depth, ZPixmap, nullptr, info.get(),
                                  static_cast<unsigned>(w), static_cast<unsigned>(h));
  if (image == nullptr) return nullptr;
  const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(h);
  info->shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  void* address = info->shmid >= 0 ? shmat(info->shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
  if (address == reinterpret_cast<void*>(-1)) {
    if (info->shmid >= 0) shmctl(info->shmid, IPC_RMID, nullptr);
    XDestroyImage(image);
    return nullptr;
  }
  info->shmaddr = image->data = static_cast<char*>(address);
  info->readOnly = False;
  bool attached = false, read = false;
  {
    X11Errors::Trap trap(display);
    attached = XShmAttach(display, info.get()) != False;
    // Attached (or refused) once the server has seen the request.
    attached = trap.Sync() == 0 && attached;
  }
  // Marked for removal now: the segment goes when both sides detach, even
  // if this process dies first.
  shmctl(info->shmid, IPC_RMID, nullptr);
  if (attached) {
    X11Errors::Trap trap(display);
    read = XShmGetImage(display, drawable, image, x, y, AllPlanes) != False;
    read = trap.Sync() == 0 && read;
  }
  const auto release = [display, info, attached](XImage* im) {
    if (attached) XShmDetach(display, info.get());
    shmdt(info->shmaddr);
    im->data = nullptr;  // the segment's, not Xlib's to free
    XDestroyImage(im);
  };
  if (!read) {
    release(image);
    return nullptr;
  }
  return std::shared_ptr<XImage>(image, release);
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

std::shared_ptr<XImage> X11DesktopSource::ReadArea(const ViewRect& area) {
  const ScreenList screens = XRandRScreens(display_).Screens();
  const int number = screens.NumberForRect(area);
  const ScreenInfo* monitor = number >= 0 && static_cast<size_t>(number) < screens.screens.size()
                                  ? &screens.screens[static_cast<size_t>(number)]
                                  : screens.Main();
  return ReadMonitor(monitor);
}

bool X11DesktopSource::Grab(RgbaImage* out) {
  if (display_ == nullptr || out == nullptr) return false;
  const ScreenList screens = XRandRScreens(display_).Screens();
  const std::shared_ptr<XImage> image = ReadMonitor(screens.Main());
  return image != nullptr && ToRgba(display_, image.get(), out) && out->Valid();
}

bool X11DesktopSource::GrabArea(const ViewRect& area, RgbaImage* out) {
  if (display_ == nullptr || out == nullptr) return false;
  const std::shared_ptr<XImage> image = ReadArea(area);
  return image != nullptr && ToRgba(display_, image.get(), out) && out->Valid();
}

bool X11DesktopSource::GrabPixels(const ViewRect& area, PackedPixels* out) {
  if (display_ == nullptr || out == nullptr) return false;
  std::shared_ptr<XImage> image = ReadArea(area);
  if (image == nullptr) return false;
  unsigned long rm = 0, gm = 0, bm = 0;
  if (!MasksOf(display_, image.get(), &rm, &gm, &bm)) return false;
  const Channel r = ChannelOf(rm), g = ChannelOf(gm), b = ChannelOf(bm);
  constexpr int kHostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  if (image->format == ZPixmap && image->bits_per_pixel == 32 && image->byte_order == kHostOrder &&
      r.bits == 8 && g.bits == 8 && b.bits == 8) {
    PackedPixels p;
    p.pixels = reinterpret_cast<const uint8_t*>(image->data);
    p.width = image->width;
    p.height = image->height;
    p.stride = static_cast<size_t>(image->bytes_per_line);
    p.redShift = r.shift;
    p.greenShift = g.shift;
    p.blueShift = b.shift;
    p.keep = std::move(image);
    *out = std::move(p);
    return out->Valid();
  }
  // Any other layout (16-bit pixels, 10-bit channels, the other byte order).
  auto rgba = std::make_shared<RgbaImage>();
  if (!ToRgba(display_, image.get(), rgba.get()) || !rgba->Valid()) return false;
  *out = PackedPixels::Of(*rgba);
  out->keep = std::move(rgba);
  return true;
}

std::shared_ptr<XImage> X11DesktopSource::ReadMonitor(const ScreenInfo* monitor) {
  if (display_ == nullptr) return nullptr;
  X11Errors::Install();
  const Window root = DefaultRootWindow(display_);
  Drawable drawable = ScreenshotPixmap(display_, saverWindow_);
  if (drawable == 0) drawable = root;

  unsigned gw = 0, gh = 0, depth = 0;
  const auto geometry = [&](Drawable d) {
    X11Errors::Trap trap(display_);
    Window geometryRoot = 0;
    int gx = 0, gy = 0;
    unsigned border = 0;
    const Status ok = XGetGeometry(display_, d, &geometryRoot, &gx, &gy, &gw, &gh, &border, &depth);
    return trap.Sync() == 0 && ok != 0;
  };
  if (!geometry(drawable)) {
    // A screenshot pixmap freed meanwhile: read the root window instead.
    if (drawable == root || !geometry(root)) return nullptr;
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
  if (w < 1 || h < 1) return nullptr;
  if (std::shared_ptr<XImage> shared = ReadShared(display_, drawable, x, y, w, h, depth)) {
    return shared;
  }
  X11Errors::Trap trap(display_);
  XImage* image = XGetImage(display_, drawable, x, y, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (trap.Sync() != 0 || image == nullptr) {
    if (image != nullptr) XDestroyImage(image);
    return nullptr;
  }
  return std::shared_ptr<XImage>(image, [](XImage* im) { XDestroyImage(im); });
}
