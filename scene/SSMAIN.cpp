// Set-up, the background and the 3D pass of the scene driver.
#include "scene/SSMAIN.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <new>

#include "datafiles/ResourcePack.h"
#include "scene/SceneLight.h"
#include "scene/Shadows.h"
#include "util/Frustum.h"
#include "util/StartupTrace.h"

namespace {

void LookAt(VECTOR3D eye, VECTOR3D target) {
  gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0.0, 1.0, 0.0);
}

// Positional: w = 1.
void PlaceLight(VECTOR3D position) {
  const GLfloat p[4] = {position.x, position.y, position.z, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, p);
}

// What a scene that is not set up shows: nothing.
void ClearView() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

}  // namespace

SSMAIN::~SSMAIN() { Cleanup(); }

bool SSMAIN::Setup(bool preview, int width, int height, SETTINGS* settings, const char* resourceFile) {
  ready = false;
  this->preview = preview;
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  if (!settings || !resourceFile) return false;

  wantShadow = settings->WANTSHADOW;
  speedFactor = static_cast<float>(static_cast<double>(settings->LFLYSPEED) / 100.0);

  // The flock goes before the textures, as in Cleanup; a new one replaces it.
  aquarium.reset();
  aquarium.reset(new (std::nothrow) AQUARIUM);
  textures.reset();  // array delete destroys the entries last to first
  numTextures = 0;
  if (!aquarium) return false;

  if (!LoadTexturesFromDataFile(resourceFile, &textures, &numTextures)) return false;
  TraceStart("resource pack loaded");

  this->width = width;
  this->height = height;
  LookAt(camPos, camTarget);

  SetSceneLight();
  PlaceLight(lightPos);

  ready = aquarium->Setup(settings);
  TraceStart("butterfly types loaded");
  return ready;
}

void SSMAIN::SetSize(int width, int height) {
  this->width = width;
  this->height = height;
}

void SSMAIN::Update(double dt) {
  frameTime = dt;
  elapsed += dt;
}

void SSMAIN::DoUnderlay() {
  if (!ready) {
    ClearView();
    return;
  }
  DrawBackground(messageFade);
}

void SSMAIN::DrawBackground(float fade) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, 0, height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();

  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  // No picture at all: the view stays black (texture name 0 would draw the
  // quad untextured, white).
  if (bgTexID != 0) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, bgTexID);
    const float shade = 1.0f - fade;
    glColor4f(shade, shade, shade, 1.0f);
    const GLfloat w = static_cast<GLfloat>(width), h = static_cast<GLfloat>(height);
    // Cover the view with the picture's own shape: the part that sticks out
    // of the view on two sides is cut off, equally on each.
    GLfloat s0 = 0, s1 = 1, t0 = 0, t1 = 1;
    if (bgAspect > 0 && width > 0 && height > 0) {
      const float viewAspect = w / h;
      if (bgAspect > viewAspect) {
        const float shown = viewAspect / bgAspect;
        s0 = 0.5f - shown / 2;
        s1 = 0.5f + shown / 2;
      } else {
        const float shown = bgAspect / viewAspect;
        t0 = 0.5f - shown / 2;
        t1 = 0.5f + shown / 2;
      }
    }
    glBegin(GL_POLYGON);
    glTexCoord2f(s0, t0);
    glVertex2f(0, 0);
    glTexCoord2f(s1, t0);
    glVertex2f(w, 0);
    glTexCoord2f(s1, t1);
    glVertex2f(w, h);
    glTexCoord2f(s0, t1);
    glVertex2f(0, h);
    glEnd();
  }

  glColor4f(1, 1, 1, 1);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
}

void SSMAIN::Draw() {
  if (!ready) {
    ClearView();
    return;
  }
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  LookAt(camPos, camTarget);
  // The light's position is transformed by the model-view matrix when it is
  // set, so it follows the camera only when set again after it.
  PlaceLight(lightPos);
  ExtractFrustum();
  // Movement needs this frame's frustum: butterflies keep inside the view.
  if (aquarium) aquarium->Move(speedFactor, static_cast<float>(frameTime));
  sceneFade = messageFade;
  DrawFlock(sceneFade);
  if (!preview) DoOverlay();
  glDisable(GL_TEXTURE_2D);
}

namespace {

// AQUARIUM::Draw, less the butterflies whose `rects` entry misses `within`.
void DrawSome(AQUARIUM* aquarium, bool shadow, const std::vector<PixelRect>& rects,
              const PixelRect& within) {
  if (!aquarium->bflys) return;
  for (int64_t i = 0; i < aquarium->numBFlys; ++i) {
    ONEBFLY& b = aquarium->bflys[i];
    if (b.action == ONEBFLY::kWaiting) continue;
    if (static_cast<size_t>(i) < rects.size() && !rects[static_cast<size_t>(i)].Intersects(within))
      continue;
    b.Draw(shadow);
  }
}

}  // namespace

void SSMAIN::DrawFlock(float fade, const PixelRect* within) {
  // Culling needs every butterfly bounded in this frame.
  const bool cull = within != nullptr && !now_.unbounded && now_.bodies.size() > 0;
  glEnable(GL_CULL_FACE);
  if (wantShadow && aquarium) {
    StartShadows(lightPos, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glPushMatrix();
    if (cull)
      DrawSome(aquarium.get(), true, now_.shadows, *within);
    else
      aquarium->Draw(true);
    glPopMatrix();
    glDisable(GL_BLEND);
    EndShadows(1.0f);
  }
  // Colour material is on (the view's set-up), so the colour shades the lit
  // butterflies.
  const float shade = 1.0f - fade;
  glColor4f(shade, shade, shade, 1.0f);
  if (aquarium) {
    glPushMatrix();
    if (cull)
      DrawSome(aquarium.get(), false, now_.bodies, *within);
    else
      aquarium->Draw(false);
    glPopMatrix();
  }
  glDisable(GL_CULL_FACE);
}

void SSMAIN::Advance() {
  before_ = std::move(now_);
  now_ = ScreenState{};
  now_.valid = true;
  if (!ready) return;
  glGetFloatv(GL_PROJECTION_MATRIX, projection_);
  glLoadIdentity();
  LookAt(camPos, camTarget);
  PlaceLight(lightPos);
  ExtractFrustum();
  glGetFloatv(GL_MODELVIEW_MATRIX, camera_);
  if (aquarium) aquarium->Move(speedFactor, static_cast<float>(frameTime));
  sceneFade = messageFade;
  if (!preview) AdvanceOverlay();

  now_.width = width;
  now_.height = height;
  now_.bgTexID = bgTexID;
  now_.bgAspect = bgAspect;
  now_.sceneFade = sceneFade;
  now_.messageFade = messageFade;
  now_.messageIndex = messageIndex;
  now_.bannerPos = bannerPos;
  BoundSprites(&now_);
}

void SSMAIN::Render(const PixelRect* within) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (!ready) return;
  DrawBackground(sceneFade);
  glMatrixMode(GL_PROJECTION);
  glLoadMatrixf(projection_);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(camera_);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  PlaceLight(lightPos);
  DrawFlock(sceneFade, within);
  if (!preview) DrawOverlay();
  glDisable(GL_TEXTURE_2D);
}

void SSMAIN::RenderToTexture(uint32_t) {}

void SSMAIN::Cleanup() {
  ready = false;
  if (aquarium) {
    // The butterflies first: they point into the catalogue's types.
    aquarium->Cleanup();
    aquarium->CleanupBFlyList();
    aquarium.reset();
  }
  textures.reset();
  numTextures = 0;
  bgTexID = 0;
  bgAspect = 0.0f;
  glDisable(GL_LIGHTING);
  glDisable(GL_LIGHT0);
  glDisable(GL_CULL_FACE);
}

bool SSMAIN::BindResource(uint32_t index) const {
  if (!textures || index >= static_cast<uint32_t>(numTextures > 0 ? numTextures : 0)) return false;
  const Texture& texture = textures[index];
  if (texture.texID == 0) return false;
  glBindTexture(GL_TEXTURE_2D, texture.texID);
  return true;
}
