#include "scene/SceneLight.h"

#include <GL/gl.h>

void SetSceneLight() {
  const GLfloat ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  const GLfloat diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  const GLfloat specular[4] = {0.3f, 0.3f, 0.3f, 1.0f};
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glCullFace(GL_BACK);
}
