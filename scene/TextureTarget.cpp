#include "scene/TextureTarget.h"

#include <GL/gl.h>

#include <cstddef>
#include <vector>

uint32_t EmptyTexture() {
  const std::vector<uint8_t> zeros(static_cast<size_t>(kEmptyTextureSize) * kEmptyTextureSize * 4, 0);
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, kEmptyTextureSize, kEmptyTextureSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               zeros.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  return name;
}

void ViewOrtho() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, kEmptyTextureSize, kEmptyTextureSize, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void ViewPerspective() {
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}
