// The scene driver's 2D layers: the banner, the centre message and the intro.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "scene/SSMAIN.h"

namespace {

// Logo and banner strip sizes, pixels.
constexpr float kLogoWidth = 256.0f, kLogoHeight = 32.0f;
constexpr float kStripWidth = 512.0f, kStripHeight = 32.0f;
// Banner heights, pixels: its y when shown at the bottom, its distance below
// the top edge when shown at the top, and how far outside the view it waits.
constexpr float kBannerBottom = 5.0f, kBannerBelowTop = 40.0f, kBannerOutside = 40.0f;
// Banner phases, s.
constexpr float kBannerShownTime = 20.0f, kBannerHiddenTime = 30.0f;
// The centre message works on a virtual 1024 x 768 screen: a strip of
// 1024 x 64 units centred on the vertical middle (384).
constexpr float kVirtualWidth = 1024.0f, kVirtualHeight = 768.0f;
constexpr float kMessageY = 352.0f, kMessageHeight = 64.0f;
// A message is due for 20 s; the next one comes 40 s after a phase ends.
// Fades run at 0.5 per second.
constexpr float kMessageTime = 20.0f, kMessagePause = 40.0f, kFadeRate = 0.5f;
// Intro images fade in during the first 12 s of scene time.
constexpr double kIntroTime = 12.0;

// One quad (x0, y0)-(x1, y1) at z = 0, texture (0, 0) at (x0, y0) and (1, 1)
// at (x1, y1).
void Quad(float x0, float y0, float x1, float y1) {
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex3f(x0, y0, 0);
  glTexCoord2f(1, 0);
  glVertex3f(x1, y0, 0);
  glTexCoord2f(1, 1);
  glVertex3f(x1, y1, 0);
  glTexCoord2f(0, 1);
  glVertex3f(x0, y1, 0);
  glEnd();
}

}  // namespace

void SSMAIN::DoOverlay() {
  if (!ready) return;
  AdvanceOverlay();
  DrawOverlay();
}

void SSMAIN::AdvanceOverlay() {
  const float dt = static_cast<float>(frameTime);
  const float w = static_cast<float>(width), h = static_cast<float>(height);

  // Banner timing: hidden for the first 60 s, then shown for 20 s and hidden
  // for 30 s in turn, with a new message and edge each time it shows.
  bannerTimer -= dt;
  if (bannerTimer < 0.0f) {
    bannerTimer = kBannerHiddenTime;
    if (!bannerShown) {
      messageIndex = kFirstMessageTexture + static_cast<uint32_t>(std::rand() % kMessageTextureCount);
      bannerPos.x = (std::rand() % 2 == 1) ? w - kLogoWidth : 0.0f;
      bannerAtTop = !bannerAtTop;
      bannerPos.y = bannerAtTop ? h + kBannerOutside : -kBannerOutside;
      bannerTimer = kBannerShownTime;
    }
    bannerShown = !bannerShown;
  }
  // Exponential approach to the goal at a rate of 1 per second.
  float goal;
  if (bannerShown)
    goal = bannerAtTop ? h - kBannerBelowTop : kBannerBottom;
  else
    goal = bannerAtTop ? h + kBannerOutside : -kBannerOutside;
  bannerPos.y += (goal - bannerPos.y) * dt;

  // Message timing: fade in while a message is due, fade out after it, then
  // wait until 40 s after the phase ended.
  messageTimer -= dt;
  if (messageTimer > 0.0f) {
    if (messageFade < 1.0f)
      messageFade += kFadeRate * dt;
    else
      messageFade = 1.0f;
  } else if (messageFade > 0.0f) {
    messageFade -= kFadeRate * dt;
  } else {
    messageFade = 0.0f;
    if (messageTimer < -kMessagePause) messageTimer = kMessageTime;
  }
}

void SSMAIN::DrawOverlay() {
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glColor4f(1, 1, 1, 1);
  glNormal3f(0, 0, 1);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);

  // Both strips are drawn every frame they reach into the view; while hidden
  // they lie wholly outside it (and with software OpenGL the first blended
  // quad costs the first frame the compiling of its shader).
  if (bannerPos.y < h && bannerPos.y + std::max(kLogoHeight, kStripHeight) > 0.0f) {
    glTranslatef(bannerPos.x, bannerPos.y, 0);
    if (BindResource(kLogoTexture)) Quad(0, 0, kLogoWidth, kLogoHeight);
    glLoadIdentity();
    glTranslatef(w * 0.5f - kStripWidth * 0.5f, bannerPos.y, 0);
    if (BindResource(messageIndex)) Quad(0, 0, kStripWidth, kStripHeight);
  }

  glDisable(GL_BLEND);
  glLoadIdentity();
  glScalef(w / kVirtualWidth, h / kVirtualHeight, 1);

  if (messageFade > 0.0f) {
    glColor4f(1, 1, 1, messageFade);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glTranslatef(0, kMessageY, 0);
    if (BindResource(messageIndex)) Quad(0, 0, kVirtualWidth, kMessageHeight);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
  }
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
}

void SSMAIN::DoIntro() {
  if (!ready) return;
  const float dt = static_cast<float>(frameTime);
  glPushMatrix();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);

  if (elapsed < kIntroTime) {
    if (introAlphaA < 1.0f)
      introAlphaA += dt;
    else if (introAlphaB < 1.0f)
      introAlphaB += dt;
  } else if (introAlphaA > 0.0f) {
    introAlphaA -= dt;
  } else if (introAlphaB > 0.0f) {
    introAlphaB -= dt;
  } else {
    introDone = true;
  }

  glPushMatrix();
  glTranslatef(kVirtualWidth * 0.5f, kVirtualHeight * 0.8f, 0);
  glColor4f(1, 1, 1, introAlphaA);
  glScalef(2, 2, 1);
  if (BindResource(kIntroTextureA)) Quad(-128, -32, 128, 32);
  glPopMatrix();

  glPushMatrix();
  glTranslatef(kVirtualWidth - 0.5f * kVirtualWidth * introSlide, kVirtualHeight * 0.25f, 0);
  glColor4f(1, 1, 1, introAlphaB);
  glScalef(2, 2, 1);
  if (BindResource(kIntroTextureB)) Quad(-128, -64, 128, 64);
  glPopMatrix();

  glColor4f(1, 1, 1, 1);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glPopMatrix();
}

void SSMAIN::BannerRects(const ScreenState& state, DamageRegion* region) const {
  // One pixel around each strip: linear filtering at a fractional position
  // touches the pixels the quad's edges cross.
  auto add = [region](float x, float y, float w, float h) {
    const int x0 = static_cast<int>(std::floor(x)) - 1, y0 = static_cast<int>(std::floor(y)) - 1;
    const int x1 = static_cast<int>(std::ceil(x + w)) + 1, y1 = static_cast<int>(std::ceil(y + h)) + 1;
    region->Add(PixelRect{x0, y0, x1 - x0, y1 - y0});
  };
  const float w = static_cast<float>(state.width);
  add(state.bannerPos.x, state.bannerPos.y, kLogoWidth, kLogoHeight);
  add(w * 0.5f - kStripWidth * 0.5f, state.bannerPos.y, kStripWidth, kStripHeight);
}
