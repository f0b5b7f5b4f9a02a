#pragma once
// The desktop capture: the main display's picture as an OpenGL texture.
//
// The picture is scaled with filtering to a texture of at most cap x cap
// pixels, each side the power of two nearest (on a logarithmic scale) to the
// display's side, rows flipped so the first row is the bottom of the screen
// (OpenGL's row order). A capture whose every pixel is black counts as failed:
// no permission to read the screen and a blank display both look like that.
//
// The sizing, scaling, flipping and black test use neither X nor OpenGL and
// are tested alone; UploadDesktopTexture and CaptureDesktopTexture need the
// view's OpenGL context current.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DesktopSource.h"
#include "platform/PackedPixels.h"
#include "platform/RgbaImage.h"
#include "platform/ViewRect.h"

// The cap on each texture side for a detail level: 512 for 0, 1024 for 1,
// `glMaxTextureSize` for any other value.
int CaptureSizeCap(int detail, int glMaxTextureSize);
// min(2^floor(log2(screenSide) + 0.5), cap); 0 when either is below 1.
int CaptureTextureSide(int screenSide, int cap);
// Reverses the order of `height` rows of `rowBytes` bytes each, in place.
void FlipRows(uint8_t* pixels, size_t rowBytes, int height);
// Some pixel of the RGBA buffer has a non-zero R, G or B (the fourth byte is
// ignored). Stops at the first such pixel.
bool HasNonBlackPixel(const uint8_t* rgba, size_t pixelCount);
// Scales `source` to width x height with bilinear filtering (GdkPixbuf's:
// the linearly interpolated source averaged over each destination pixel) in
// one pass over the source, and writes the result to `out` as RGBA rows,
// bottom row first, alpha 255. False when the source is not valid or a size
// is below 1.
bool ScaleForTexture(const PackedPixels& source, int width, int height, std::vector<uint8_t>* out);
bool ScaleForTexture(const RgbaImage& source, int width, int height, std::vector<uint8_t>* out);

// Uploads width x height RGBA bytes (bottom row first) as texture level 0,
// or with `rgba` null only makes room for them: unpack alignment 1; a new
// name when *name is 0; wrap GL_CLAMP_TO_EDGE, filters GL_LINEAR; internal
// format GL_RGBA. When OpenGL refuses the upload (out of memory), deletes
// the name and sets *name to 0.
void UploadDesktopTexture(unsigned* name, int width, int height, const uint8_t* rgba);

// What a capture found: the picture's own size when it succeeded, why not
// when it failed.
struct CaptureResult {
  int width = 0;    // pixels of the captured monitor
  int height = 0;   // pixels
  std::string why;  // e.g. "the capture came out black (a Wayland session cannot be captured)"
};

// A capture read and scaled before the view's OpenGL context exists (the
// saver does it while its driver loads on another thread), waiting to be
// uploaded by the view's capture.
struct PreparedCapture {
  ViewRect area;               // root coordinates, as the view asks for it
  int pictureWidth = 0;        // pixels of the captured monitor
  int pictureHeight = 0;       // pixels
  int width = 0;               // texture pixels
  int height = 0;              // texture pixels
  std::vector<uint8_t> rgba;   // bottom row first
  bool lit = false;            // some pixel is not black
};

// Grabs the monitor under `area` from `source` and scales it as
// CaptureDesktopTexture does for `detail`, without OpenGL: the largest
// texture side is taken to be kPreparedTextureLimit, and the capture checks
// it against OpenGL's own limit when it uploads. False when the screen could
// not be read or the picture scaled.
inline constexpr int kPreparedTextureLimit = 16384;  // pixels
bool PrepareDesktopCapture(DesktopSource& source, const ViewRect& area, int detail,
                           PreparedCapture* out);

// The whole capture: grabs the monitor under `area` (root coordinates) from
// `source`, sizes it for `detail`, scales and flips it, and uploads it into
// *name (named as needed); on a failed grab or an all-black picture deletes
// *name and sets it to 0. True when *name holds the capture. `result` (may
// be null) gets the picture's size, or the reason of a failure, which in a
// Wayland session says that such a session cannot be captured. A capture in
// `prepared` (may be null) for the same area, scaled to the size `detail`
// gives with this context, is uploaded instead of grabbing again, and
// removed from the list.
bool CaptureDesktopTexture(DesktopSource& source, const ViewRect& area, int detail, unsigned* name,
                           CaptureResult* result = nullptr,
                           std::vector<PreparedCapture>* prepared = nullptr);

// The session is a Wayland one, judged from the values of WAYLAND_DISPLAY and
// XDG_SESSION_TYPE (either may be null).
bool IsWaylandSession(const char* waylandDisplay, const char* sessionType);
