#pragma once
// The RGBA pixels of a texture's level 0, read back from OpenGL; none for a
// name that holds no texture.
#include <GL/gl.h>

#include <cstdint>
#include <vector>

inline std::vector<uint8_t> TexturePixels(uint32_t name) {
  GLint width = 0, height = 0;
  glBindTexture(GL_TEXTURE_2D, name);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  return rgba;
}
