// Skinning cost of one model instance per frame, and of each of its steps,
// for the animated dwarf of the shared test data (979 vertices, 46 joints;
// left out when the data is absent) and for a butterfly-sized body made with
// the MS3D writer. Counters: "entries" is the welded vertex buffer's size and
// "per_entry" the time per buffer entry.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "models/ANIMATIONTEMPLATE.h"
#include "models/MS3D.h"
#include "models/ONEMODEL.h"
#include "tools/MS3DWriter.h"
#include "util/MemoryStream.h"

namespace {

// A body of three segments and two wings, each wing a 6 x 4 grid of quads
// on its own joint with flapping keys: about the size of a butterfly type.
MS3DWriter Butterfly() {
  MS3DWriter w;
  w.fps = 30;
  w.totalFrames = 30;
  w.AddMaterial("wing");
  const int body = w.AddGroup("body");
  w.AddJoint("body", "", {0, 0, 0}, {0, 0, 0});
  w.joints[0].translationKeys = {{0, {0, 0, 0}}, {0.5f, {0, 0.2f, 0}}, {1, {0, 0, 0}}};
  for (int s = 0; s < 3; ++s) {
    const float y0 = -1.0f + 0.6f * s, y1 = y0 + 0.6f;
    const uint16_t a = w.AddVertex({-0.1f, y0, 0}, 0), b = w.AddVertex({0.1f, y0, 0}, 0);
    const uint16_t c = w.AddVertex({0.1f, y1, 0}, 0), d = w.AddVertex({-0.1f, y1, 0}, 0);
    w.AddTriangle(body, a, b, c);
    w.AddTriangle(body, a, c, d);
  }
  for (int side = 0; side < 2; ++side) {
    const float sign = side == 0 ? -1.0f : 1.0f;
    const int8_t joint = static_cast<int8_t>(w.AddJoint(side == 0 ? "wingl" : "wingr", "body",
                                                        {0, 0, 0}, {sign * 0.1f, 0, 0}));
    for (int k = 0; k <= 8; ++k)
      w.joints[joint].rotationKeys.push_back(
          {k / 8.0f, {0, 0, sign * 0.8f * static_cast<float>(std::sin(k * 0.785))}});
    const int group = w.AddGroup(side == 0 ? "left" : "right", 0);
    const int columns = 6, rows = 4;
    const uint16_t first = static_cast<uint16_t>(w.vertices.size());
    for (int r = 0; r <= rows; ++r)
      for (int c = 0; c <= columns; ++c)
        w.AddVertex({sign * (0.1f + 0.3f * c), -0.8f + 0.4f * r, 0.02f * c * r}, joint);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < columns; ++c) {
        const uint16_t a = static_cast<uint16_t>(first + r * (columns + 1) + c);
        const uint16_t b = static_cast<uint16_t>(a + 1);
        const uint16_t d = static_cast<uint16_t>(a + columns + 1), e = static_cast<uint16_t>(d + 1);
        const point2d ua{c / 6.0f, r / 4.0f}, ub{(c + 1) / 6.0f, r / 4.0f};
        const point2d ud{c / 6.0f, (r + 1) / 4.0f}, ue{(c + 1) / 6.0f, (r + 1) / 4.0f};
        w.AddTriangle(group, a, b, e, ua, ub, ue);
        w.AddTriangle(group, a, e, d, ua, ue, ud);
      }
  }
  return w;
}

// A model prepared as the type loader prepares it, with one playing instance.
struct Prepared {
  MS3D model;
  ANIMATIONTEMPLATE animTemplate;
  ONEMODEL instance;

  bool Build(MS3D loaded) {
    model = std::move(loaded);
    model.InitialSetup();
    if (!animTemplate.Setup(&model) || !instance.Setup(&animTemplate, &model, nullptr))
      return false;
    instance.SetAnimation(0, animTemplate.totalFrames, 1000, true, false);
    return true;
  }
};

Prepared* Dwarf() {
  static std::unique_ptr<Prepared> prepared = [] {
    auto p = std::make_unique<Prepared>();
    MS3D m;
    const std::string path = std::string(WINGDRIFT_TESTDATA) + "/ms3d/dwarf1.ms3d";
    if (!std::filesystem::exists(path) || !m.Load(path.c_str()) || !p->Build(std::move(m)))
      p.reset();
    return p;
  }();
  return prepared.get();
}

Prepared* SmallButterfly() {
  static std::unique_ptr<Prepared> prepared = [] {
    auto p = std::make_unique<Prepared>();
    const std::string bytes = Butterfly().Bytes();
    MemoryStream in(bytes.data(), bytes.size());
    MS3D m;
    if (!m.LoadFromFStream(&in) || !p->Build(std::move(m))) p.reset();
    return p;
  }();
  return prepared.get();
}

constexpr double kDt = 1.0 / 60;

void Count(benchmark::State& state, const ONEMODEL& inst) {
  state.counters["entries"] = inst.numVerts;
  state.counters["joints"] = inst.numJoints;
  state.counters["per_entry"] =
      benchmark::Counter(inst.numVerts, benchmark::Counter::kIsIterationInvariantRate |
                                            benchmark::Counter::kInvert);
}

void Frame(benchmark::State& state, Prepared* p) {
  ONEMODEL& inst = p->instance;
  for (auto _ : state) {
    inst.Update(kDt);
    benchmark::ClobberMemory();
  }
  Count(state, inst);
}

void Revert(benchmark::State& state, Prepared* p) {
  ONEMODEL& inst = p->instance;
  for (auto _ : state) {
    inst.RevertPoints(inst.joints);
    benchmark::ClobberMemory();
  }
  Count(state, inst);
}

void AnimateStep(benchmark::State& state, Prepared* p) {
  ONEMODEL& inst = p->instance;
  for (auto _ : state) {
    inst.Animate(kDt);
    benchmark::ClobberMemory();
  }
  Count(state, inst);
}

void Skeleton(benchmark::State& state, Prepared* p) {
  ONEMODEL& inst = p->instance;
  for (auto _ : state) {
    inst.UpdateSkeleton();
    benchmark::ClobberMemory();
  }
  Count(state, inst);
}

void Skin(benchmark::State& state, Prepared* p) {
  ONEMODEL& inst = p->instance;
  for (auto _ : state) {
    inst.UpdatePoints(inst.joints);
    benchmark::ClobberMemory();
  }
  Count(state, inst);
}

// Registered at start-up so that the dwarf's runs are simply absent without
// the shared data.
const bool kRegistered = [] {
  struct Entry {
    const char* name;
    void (*run)(benchmark::State&, Prepared*);
  };
  const Entry steps[] = {{"Frame", Frame},
                         {"RevertPoints", Revert},
                         {"Animate", AnimateStep},
                         {"UpdateSkeleton", Skeleton},
                         {"UpdatePoints", Skin}};
  const std::pair<const char*, Prepared* (*)()> models[] = {{"Butterfly", SmallButterfly},
                                                            {"Dwarf", Dwarf}};
  for (const auto& [model, get] : models) {
    Prepared* p = get();
    if (!p) continue;
    for (const Entry& step : steps)
      benchmark::RegisterBenchmark((std::string(step.name) + "/" + model).c_str(), step.run, p);
  }
  return true;
}();

}  // namespace
