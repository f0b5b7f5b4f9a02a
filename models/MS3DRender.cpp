// Immediate-mode drawing of MilkShape 3D models. Nothing in the running saver
// draws an MS3D (butterflies draw their instance buffers); this serves tools
// and checks of a freshly loaded model.
#include <GL/gl.h>

#include "models/MS3D.h"

void MS3D::DrawTriangles(const MS3D_GROUP& group) const {
  glBegin(GL_TRIANGLES);
  for (uint16_t index : group.triangleIndices) {
    if (index >= triangles.size()) continue;
    const MS3D_TRIANGLE& t = triangles[index];
    if (t.vertexIndices[0] >= vertices.size() || t.vertexIndices[1] >= vertices.size() ||
        t.vertexIndices[2] >= vertices.size())
      continue;
    for (int c = 0; c < 3; ++c) {
      glNormal3fv(t.vertexNormals[c]);
      // The file's t runs downwards; OpenGL's upwards.
      glTexCoord2f(t.s[c], 1.0f - t.t[c]);
      glVertex3fv(vertices[t.vertexIndices[c]].vertex);
    }
  }
  glEnd();
}

void MS3D::DrawGroup(int group) const {
  if (group < 0 || static_cast<size_t>(group) >= groups.size()) return;
  DrawTriangles(groups[group]);
}

void MS3D::DrawGroup(int group, std::span<const Texture> textures) const {
  if (group < 0 || static_cast<size_t>(group) >= groups.size()) return;
  const MS3D_GROUP& g = groups[group];
  // A group without a material, or beyond the list, keeps whatever is bound.
  if (g.materialIndex >= 0 && static_cast<size_t>(g.materialIndex) < textures.size())
    glBindTexture(GL_TEXTURE_2D, textures[g.materialIndex].texID);
  DrawTriangles(g);
}

void MS3D::Render() const {
  for (size_t g = 0; g < groups.size(); ++g) DrawTriangles(groups[g]);
}

void MS3D::Render(std::span<const Texture> textures) const {
  for (size_t g = 0; g < groups.size(); ++g) DrawGroup(static_cast<int>(g), textures);
}
