#include "scene/Shadows.h"

#include <GL/gl.h>

void ShadowMatrixf(double* m, float a, float b, float c, float d, float lx, float ly, float lz,
                   float lw) {
  if (!m) return;
  const float plane[4] = {a, b, c, d};
  const float light[4] = {lx, ly, lz, lw};
  const float dot = a * lx + b * ly + c * lz + d * lw;
  for (int col = 0; col < 4; ++col) {
    for (int row = 0; row < 4; ++row) {
      const float product = light[row] * plane[col];
      m[col * 4 + row] = row == col ? dot - product : -product;
    }
  }
}

void StartShadows(VECTOR3D light, float alpha) {
  MATRIX shadow;
  ShadowMatrixf(shadow.m, kShadowPlane[0], kShadowPlane[1], kShadowPlane[2], kShadowPlane[3],
                light.x, light.y, light.z, 0.0f);
  glPushMatrix();
  glShadeModel(GL_FLAT);
  glDisable(GL_LIGHTING);
  glDepthMask(GL_FALSE);
  glDisable(GL_TEXTURE_2D);
  glColor4f(0.0f, 0.0f, 0.0f, alpha);
  glMultMatrixd(shadow.m);
}

void EndShadows(float /*alpha*/) {
  glEnable(GL_TEXTURE_2D);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glDepthMask(GL_TRUE);
  glEnable(GL_LIGHTING);
  glShadeModel(GL_SMOOTH);
  glPopMatrix();
}
