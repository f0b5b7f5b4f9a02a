// A butterfly's own body, copied from its type, and its drawing.
#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYDATA.h"

bool ONEBFLY::SetupFromBFlyData(BFLYDATA* data) {
  // A prototype that was never set up has no template.
  if (!data || !data->animTemplate || !data->prototype ||
      data->prototype->animTemplate != data->animTemplate.get())
    return false;
  const ONEBFLY& proto = *data->prototype;

  bflyData = data;
  animTemplate = data->animTemplate.get();
  joints.assign(animTemplate->joints.size(), BASICJOINT{});
  for (size_t i = 0; i < joints.size(); ++i) {
    joints[i].parent = animTemplate->joints[i].parent;
    joints[i].flags = animTemplate->joints[i].flags;
  }

  currentTime = 0.0f;
  startTime = 0.0f;
  endTime = 0.0f;
  loop = false;
  speed = 1000.0f;
  angles = {};
  direction = {};
  position = {};
  orientation.Identity();
  orientationQuat.Identity();
  numJoints = static_cast<uint16_t>(joints.size());

  numGroups = proto.numGroups;
  numMaterials = proto.numMaterials;
  // Each material draws its own wing texture among the type's; the names
  // stay the type's.
  materials.assign(proto.materials.size(), MODELMATERIAL{});
  std::vector<int> textureOf(materials.size(), -1);
  for (size_t m = 0; m < materials.size(); ++m) {
    materials[m].texId = proto.materials[m].texId;
    materials[m].mode = proto.materials[m].mode;
    materials[m].transparency = proto.materials[m].transparency;
    for (int c = 0; c < 3; ++c) materials[m].ambient[c] = proto.materials[m].ambient[c];
    if (data->textureCount > 0 && data->textures) {
      textureOf[m] = std::rand() % data->textureCount;
      materials[m].texId = data->textures[textureOf[m]].texID;
    }
  }

  numTriangles = proto.numTriangles;
  indices = proto.indices;
  // Joint space, as the prototype holds it; the first Move skins it.
  numVerts = proto.numVerts;
  vertexBuffer = proto.vertexBuffer;
  groups = proto.groups;

  lineColours.assign(vertexBuffer.size() * 4, 255);
  lineIndices.clear();
  const bool wingsApart = data->wingLeftJoint != 0 || data->wingRightJoint != 0;
  auto onBody = [&](size_t v) {
    const int bone = vertexBuffer[v].boneId;
    return bone != data->wingLeftJoint && bone != data->wingRightJoint;
  };
  for (const MODELGROUP& g : groups) {
    if (g.materialIndex < 0 || static_cast<size_t>(g.materialIndex) >= textureOf.size()) continue;
    const int k = textureOf[static_cast<size_t>(g.materialIndex)];
    if (k < 0 || static_cast<size_t>(k) >= data->vertexTexels.size()) continue;
    const std::vector<uint8_t>& texels = data->vertexTexels[static_cast<size_t>(k)];
    const size_t end = std::min(indices.size(), size_t{g.firstIndex} + 3 * size_t{g.numTriangles});
    for (size_t i = g.firstIndex; i + 3 <= end; i += 3) {
      bool body = wingsApart;
      for (size_t c = i; c < i + 3; ++c) {
        const size_t v = indices[c];
        if (v >= vertexBuffer.size() || v * 4 + 4 > texels.size()) {
          body = false;
          continue;
        }
        std::copy_n(&texels[v * 4], 4, &lineColours[v * 4]);
        body = body && onBody(v);
      }
      if (body) lineIndices.insert(lineIndices.end(), &indices[i], &indices[i] + 3);
    }
  }
  return true;
}

void ONEBFLY::Draw(bool shadow) {
  if (vertexBuffer.empty() || indices.empty() || groups.empty() || !bflyData) return;

  if (shadow) {
    // Only butterflies deeper than z = -20 cast a shadow; the darker the
    // closer to the back limit.
    const float opacity = (position.z + 40.0f) / -40.0f + 0.5f;
    if (!(opacity > 0.0f)) return;
    glColor4f(0.0f, 0.0f, 0.0f, opacity);
  }

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
  if (!shadow && !lineIndices.empty() && lineColours.size() == vertexBuffer.size() * 4) {
    // Lines in the texel colours rather than textured: a line's texture
    // coordinates run past its ends, and on an edge a fraction of a pixel
    // long that reaches far beyond the part's texels. Drawn first and
    // without depth, so the fill covers them wherever it reaches and only
    // the pixels it misses keep a line. Not in the shadow pass, whose
    // translucent black would darken where lines and fill meet. Aliased even
    // in a multisampled buffer: llvmpipe places multisampled lines half a
    // pixel off and scissors them by another rule than it draws them, so a
    // frame repainted in scissored parts would differ from the whole one.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    GLboolean depthWrites = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    const GLboolean textured = glIsEnabled(GL_TEXTURE_2D);
    const GLboolean multisample = glIsEnabled(GL_MULTISAMPLE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_MULTISAMPLE);
    glDepthMask(GL_FALSE);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, lineColours.data());
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(lineIndices.size()), GL_UNSIGNED_SHORT,
                   lineIndices.data());
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisableClientState(GL_COLOR_ARRAY);
    glDepthMask(depthWrites);
    if (textured) glEnable(GL_TEXTURE_2D);
    if (multisample) glEnable(GL_MULTISAMPLE);
    glColor4fv(colour);
  }
  for (size_t g = 0; g < groups.size(); ++g) DrawGroup(static_cast<int>(g), shadow);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glPopMatrix();
}

void ONEBFLY::DrawGroup(int group, bool shadow) {
  if (group < 0 || static_cast<size_t>(group) >= groups.size()) return;
  const MODELGROUP& g = groups[group];
  // A range outside the index buffer is never handed to OpenGL.
  const size_t count = 3 * static_cast<size_t>(g.numTriangles);
  if (count == 0 || g.firstIndex > indices.size() || count > indices.size() - g.firstIndex) return;

  // The shadow pass changes no texture state. A group without a material
  // draws with whatever texture is bound.
  bool texGen = false;
  if (!shadow && g.materialIndex >= 0 && static_cast<size_t>(g.materialIndex) < materials.size()) {
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
