// Fuzz target for MilkShape 3D models and everything built from them, as the
// butterfly type loader and the flock use them (no OpenGL): the input is a
// model file read from memory; a model that loads is scaled, prepared, turned
// into a template and an instance, and played and skinned for a few frames,
// model and instance alike, with well-formed and hostile time steps. Every
// index the later stages use must be safe.
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "models/ONEMODEL.h"
#include "util/MemoryStream.h"

namespace {

constexpr double kSteps[] = {1.0 / 30, 0.5, -0.1, std::numeric_limits<double>::quiet_NaN(),
                             0.0, 1e30, 1.0 / 60};

// What Setup promises every user of the buffers.
void CheckBuffers(const ONEMODEL& inst) {
  if (inst.numVerts != inst.vertexBuffer.size() || inst.indices.size() != 3u * inst.numTriangles)
    std::abort();
  for (uint16_t index : inst.indices)
    if (index >= inst.numVerts) std::abort();
  for (const MODELGROUP& g : inst.groups)
    if (g.firstIndex + 3u * g.numTriangles > inst.indices.size()) std::abort();
}

void PlayModel(MS3D& model) {
  model.UpdatePoints();
  model.SetAnimation(0, model.totalFrames, 1000, true, false);
  for (double dt : kSteps) {
    model.RevertPoints();
    model.Animate(dt);
    model.UpdateSkeleton();
    model.UpdatePoints();
  }
  model.SetAnimation(model.totalFrames / 2.0, model.totalFrames, 500, false, true);
  for (double dt : kSteps) model.Animate(dt);
  model.RevertPoints();
}

void PlayInstance(ONEMODEL& inst, int totalFrames) {
  inst.SetAnimation(0, totalFrames, 1000, true, false);
  for (double dt : kSteps) inst.Update(dt);
  inst.SetAnimation(1, totalFrames, 250, false, true);
  for (double dt : kSteps) inst.Update(dt);
  ONEMODEL copy = inst;
  copy.Update(1.0 / 30);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryStream in(data, size);
  MS3D model;
  if (!model.LoadFromFStream(&in)) return 0;
  model.Scale(0.75f);
  model.InitialSetup();

  ANIMATIONTEMPLATE animTemplate;
  // Any model that loads has a skeleton after InitialSetup.
  if (!animTemplate.Setup(&model)) std::abort();
  ONEMODEL inst;
  const uint32_t texture = 1;
  if (inst.Setup(&animTemplate, &model, &texture)) {
    CheckBuffers(inst);
    PlayInstance(inst, model.totalFrames);
  }
  PlayModel(model);
  return 0;
}
