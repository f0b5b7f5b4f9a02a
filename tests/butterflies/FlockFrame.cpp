#include "tests/butterflies/FlockFrame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "scene/SceneLight.h"
#include "scene/Shadows.h"
#include "tests/butterflies/FlockTypes.h"
#include "tests/support/ViewFrame.h"
#include "util/Frustum.h"

void PrepareFlockGL(int width, int height) {
  ViewGLInit(width, height);
  SetSceneLight();
}

void DrawFlockFrame(AQUARIUM* aquarium, int width, int height, float speedFactor, float dt,
                    bool move) {
  const VECTOR3D light = {0.0f, 0.0f, 100.0f};
  glViewport(0, 0, width, height);
  glClearColor(0.8f, 0.8f, 0.8f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  ViewReshape(width, height);
  glEnable(GL_TEXTURE_2D);
  gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
  const GLfloat lightPos[] = {light.x, light.y, light.z, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, lightPos);
  ExtractFrustum();
  if (move) aquarium->Move(speedFactor, dt);

  glEnable(GL_CULL_FACE);
  StartShadows(light, 1.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  aquarium->Draw(true);
  glDisable(GL_BLEND);
  EndShadows(1.0f);
  aquarium->Draw(false);
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
