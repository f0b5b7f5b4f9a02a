#include "tests/butterflies/FlockFrame.h"
#include "tests/butterflies/FlockTypes.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "scene/SceneLight.h"
#include "scene/Shadows.h"
#include "util/Frustum.h"

namespace {
const VECTOR3D kLight = {0.0f, 0.0f, 100.0f};
}

void PrepareFlockGL() {
  glShadeModel(GL_SMOOTH);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  SetSceneLight();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void DrawFlockFrame(AQUARIUM* aquarium, int width, int height, float speedFactor, float dt,
                    bool shadows, bool move) {
  glViewport(0, 0, width, height);
  glClearColor(0.8f, 0.8f, 0.8f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, static_cast<float>(width) / static_cast<float>(height), 1.0, 120.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
  const GLfloat lightPos[] = {kLight.x, kLight.y, kLight.z, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, lightPos);
  ExtractFrustum();
  if (move) aquarium->Move(speedFactor, dt);

  glEnable(GL_CULL_FACE);
  if (shadows) {
    StartShadows(kLight, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glPushMatrix();
    aquarium->Draw(true);
    glPopMatrix();
    glDisable(GL_BLEND);
    EndShadows(1.0f);
  }
  glColor4f(1, 1, 1, 1);
  glPushMatrix();
  aquarium->Draw(false);
  glPopMatrix();
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
}

int CountLiveTextures(unsigned upTo) {
  int live = 0;
  for (GLuint name = 1; name <= upTo; ++name) live += glIsTexture(name) ? 1 : 0;
  return live;
}

void WriteTestFlockTypes(const std::string& folder) {
  ButterflySpec a;
  a.name = "Amber";
  a.colours = {{{230, 140, 20}}, {{200, 60, 40}}, {{240, 220, 60}}};
  WriteButterflyType(folder, "Amber.bfly", a);
  ButterflySpec b;
  b.name = "Blue";
  b.wingSpan = 3.0f;
  b.colours = {{{40, 90, 230}}};
  b.sharedAlpha = true;
  WriteButterflyType(folder, "Blue.bfly", b);
  ButterflySpec c;
  c.name = "Large";
  c.wingSpan = 6.0f;
  c.modelScale = 130;
  c.colours = {{{120, 200, 90}}, {{30, 30, 30}}};
  WriteButterflyType(folder, "Large.bfly", c);
}
