// Drawing model instances with OpenGL vertex arrays.
#include <GL/gl.h>

#include "models/ONEMODEL.h"

void ONEMODEL::Draw() const {
  if (vertexBuffer.empty() || indices.empty()) return;
  glPushMatrix();
  glTranslatef(position.x, position.y, position.z);
  glMultMatrixd(orientation.m);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  const MODELVERTEX* base = vertexBuffer.data();
  glVertexPointer(3, GL_FLOAT, sizeof(MODELVERTEX), &base->position);
  glNormalPointer(GL_FLOAT, sizeof(MODELVERTEX), &base->normal);
  glTexCoordPointer(2, GL_FLOAT, sizeof(MODELVERTEX), &base->s);
  for (size_t g = 0; g < groups.size(); ++g) DrawGroup(static_cast<int>(g));
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glPopMatrix();
}

void ONEMODEL::DrawGroup(int group) const {
  if (group < 0 || static_cast<size_t>(group) >= groups.size()) return;
  const MODELGROUP& g = groups[group];
  // An index range outside the buffer (a group edited after Setup) is not
  // handed to OpenGL, which would read past the array.
  const size_t count = 3 * static_cast<size_t>(g.numTriangles);
  if (count == 0 || g.firstIndex > indices.size() || count > indices.size() - g.firstIndex) return;
  bool texGen = false;
  // A group without a material keeps whatever texture is bound.
  if (g.materialIndex >= 0 && static_cast<size_t>(g.materialIndex) < materials.size()) {
    const MODELMATERIAL& m = materials[g.materialIndex];
    if (m.mode < 0) {
      glEnable(GL_TEXTURE_GEN_S);
      glEnable(GL_TEXTURE_GEN_T);
      texGen = true;
    }
    glBindTexture(GL_TEXTURE_2D, m.texId);
  }
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_SHORT,
                 indices.data() + g.firstIndex);
  if (texGen) {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
  }
}
