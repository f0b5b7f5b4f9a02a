// A butterfly's own body, copied from its type, and its drawing.
#include <GL/gl.h>

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
  for (size_t m = 0; m < materials.size(); ++m) {
    materials[m].texId = proto.materials[m].texId;
    materials[m].mode = proto.materials[m].mode;
    materials[m].transparency = proto.materials[m].transparency;
    for (int c = 0; c < 3; ++c) materials[m].ambient[c] = proto.materials[m].ambient[c];
    if (data->textureCount > 0 && data->textures)
      materials[m].texId = data->textures[std::rand() % data->textureCount].texID;
  }

  numTriangles = proto.numTriangles;
  indices = proto.indices;
  // Joint space, as the prototype holds it; the first Move skins it.
  numVerts = proto.numVerts;
  vertexBuffer = proto.vertexBuffer;
  groups = proto.groups;
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
