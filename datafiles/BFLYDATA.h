#pragma once
// One loaded butterfly type: the wing textures, the animation template and a
// prototype body built from the ".bfly" file's model, shared by every
// butterfly of the type.
//
// Lumps of a ".bfly" file: 0 the MilkShape 3D model; then, without a shared
// alpha image, texture k in lump k + 1, built under the alpha rule of
// directory entry k (the entry before the texture's own lump); with one
// (header hasAlphaLump non-zero), the alpha image in lump 1 and texture k in
// lump k + 2, every texture taking its alpha from that image. Only lumps of
// directory type 1 are images: another type leaves its texture slot empty
// (GL name 0), which is no error.
//
// The Texture records own the GL texture names; the prototype and every
// butterfly refer to them without deleting them. Loading builds textures and
// needs the OpenGL context current; so does destroying a loaded type.
#include <cstdint>
#include <memory>
#include <vector>

#include "datafiles/BFLYFILE.h"
#include "models/ANIMATIONTEMPLATE.h"
#include "util/Texture.h"

class ONEBFLY;

class BFLYDATA {
 public:
  int32_t textureCount = 0;                       // slots in `textures`
  std::unique_ptr<Texture[]> textures;            // destroyed last first
  std::unique_ptr<ANIMATIONTEMPLATE> animTemplate;
  std::unique_ptr<ONEBFLY> prototype;             // set up as a model instance; never flies
  float size = 1.0f;    // size factor the type was loaded with
  // Largest |x|, |y| or |z| of any vertex of the scaled model in the local
  // space of its joint, world units; the flight model's measure of the body.
  float radius = 0.0f;
  int32_t wingLeftJoint = 0;   // index of the joint "wingl"; 0 when there is none
  int32_t wingRightJoint = 0;  // index of the joint "wingr"; 0 when there is none
  // Per texture slot: the colour (R, G, B, A) of the texel under each of the
  // prototype's vertices, in vertex-buffer order; empty for an empty slot.
  // Butterflies draw their thin parts' minimum width in these colours.
  std::vector<std::vector<uint8_t>> vertexTexels;

  BFLYDATA();
  ~BFLYDATA();
  BFLYDATA(const BFLYDATA&) = delete;
  BFLYDATA& operator=(const BFLYDATA&) = delete;

  // Fills this type from an open reader, scaling the model by
  // modelScale / (100 + 100 * (1 - size)). False at the first step that
  // fails: the model lump cannot be read, the template or prototype cannot
  // be built, fewer than one texture slot, a texture lump that cannot be
  // read or built. What was built by then stays here until destruction.
  // Draws one rand() (the prototype's texture).
  bool Load(BFLYFILE* file, float size);
};
