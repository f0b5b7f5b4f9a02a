#include "host/FpsOverlay.h"

#include <GL/gl.h>
#include <time.h>

#include <cstdint>
#include <cstdio>

namespace {

// A 5 x 7 pixel font for the few characters the overlay writes; each row is
// five bits, the highest bit leftmost.
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'%', {0x18, 0x19, 0x02, 0x04, 0x08, 0x13, 0x03}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'o', {0x00, 0x00, 0x0E, 0x11, 0x11, 0x11, 0x0E}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'d', {0x01, 0x01, 0x0D, 0x13, 0x11, 0x11, 0x0F}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}},
    {'f', {0x06, 0x09, 0x08, 0x1C, 0x08, 0x08, 0x08}},
};

constexpr int kScale = 2;                    // screen pixels per font pixel
constexpr int kAdvance = 6 * kScale;         // pixels from one character to the next
constexpr int kLineHeight = 10 * kScale;     // pixels from one baseline to the next
constexpr int kMargin = 6;                   // pixels from the view's corner to the panel
constexpr int kPadding = 4;                  // pixels from the panel's edge to the text
constexpr int kColumns = 12;                 // characters the panel is wide enough for
constexpr int kLines = 3;
constexpr double kSpan = 1.0;                // s of frames each figure averages

const Glyph* Find(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

}  // namespace

void FpsOverlay::Frame(double now, double cpu) {
  if (spanStart_ < 0) {
    spanStart_ = now;
    spanCpu_ = cpu;
    spanFrames_ = 0;
    return;
  }
  ++spanFrames_;
  const double span = now - spanStart_;
  if (span < kSpan) return;
  fps = spanFrames_ / span;
  load = 100.0 * (cpu - spanCpu_) / span;
  measured = true;
  spanStart_ = now;
  spanCpu_ = cpu;
  spanFrames_ = 0;
}

std::string FpsOverlay::Text() const {
  char aa[16] = "AA: off";
  if (samples > 0) std::snprintf(aa, sizeof aa, "AA: %dx", samples);
  if (!measured) return std::string("FPS: --\nLoad: --\n") + aa;
  char text[64];
  std::snprintf(text, sizeof text, "FPS: %.1f\nLoad: %.1f%%\n%s", fps, load, aa);
  return text;
}

void FpsOverlay::Bounds(int viewWidth, int viewHeight, int rect[4]) {
  (void)viewHeight;
  rect[0] = kMargin;
  rect[1] = kMargin;
  rect[2] = kColumns * kAdvance + 2 * kPadding;
  if (rect[2] > viewWidth - kMargin) rect[2] = viewWidth > kMargin ? viewWidth - kMargin : 0;
  rect[3] = kLines * kLineHeight + 2 * kPadding;
}

void FpsOverlay::Draw(int viewWidth, int viewHeight) const {
  // The lighting bit too: with colour material on, the colours below change
  // the scene's material, which the current bit does not restore.
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_LIGHTING_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, viewWidth, 0, viewHeight, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  int r[4];
  Bounds(viewWidth, viewHeight, r);
  glBegin(GL_QUADS);
  // A dark panel keeps the text readable on any picture.
  glColor4f(0.0f, 0.0f, 0.0f, 0.55f);
  glVertex2i(r[0], r[1]);
  glVertex2i(r[0] + r[2], r[1]);
  glVertex2i(r[0] + r[2], r[1] + r[3]);
  glVertex2i(r[0], r[1] + r[3]);
  glColor4f(1.0f, 1.0f, 0.6f, 1.0f);
  const std::string text = Text();
  int x = r[0] + kPadding;
  int top = r[1] + r[3] - kPadding;  // top of the current line
  int column = 0;
  for (char c : text) {
    if (c == '\n') {
      x = r[0] + kPadding;
      top -= kLineHeight;
      column = 0;
      continue;
    }
    if (column++ >= kColumns) continue;
    if (const Glyph* g = Find(c)) {
      for (int row = 0; row < 7; ++row) {
        for (int bit = 0; bit < 5; ++bit) {
          if ((g->rows[row] & (0x10 >> bit)) == 0) continue;
          const int px = x + bit * kScale, py = top - (row + 1) * kScale;
          glVertex2i(px, py);
          glVertex2i(px + kScale, py);
          glVertex2i(px + kScale, py + kScale);
          glVertex2i(px, py + kScale);
        }
      }
    }
    x += kAdvance;
  }
  glEnd();

  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopAttrib();
}

double FpsOverlay::ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
