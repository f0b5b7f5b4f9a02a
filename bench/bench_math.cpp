// The math that runs for every joint and vertex of every butterfly each frame.
#include <benchmark/benchmark.h>

#include "util/Math.h"

namespace {

void BM_MultiplyMatrix(benchmark::State& state) {
  MATRIX a = MatrixFromAngle({10, 20, 30});
  a.SetTranslation({1, 2, 3});
  const MATRIX b = MatrixFromAngle({-5, 40, 75});
  for (auto _ : state) {
    a = MultiplyMatrix(a, b);
    benchmark::DoNotOptimize(a);
  }
}
BENCHMARK(BM_MultiplyMatrix);

void BM_MatrixPointMultiply(benchmark::State& state) {
  MATRIX m = MatrixFromAngle({10, 20, 30});
  m.SetTranslation({1, 2, 3});
  VECTOR3D p{0.5f, -1.5f, 2.5f};
  for (auto _ : state) {
    benchmark::DoNotOptimize(m);
    benchmark::DoNotOptimize(p);
    VECTOR3D r = MatrixPointMultiply(m, p);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_MatrixPointMultiply);

void BM_QuatSlerp(benchmark::State& state) {
  const QUAT a = RotationToQuat({10, 20, 30});
  const QUAT b = RotationToQuat({-40, 80, 5});
  double t = 0.37;
  for (auto _ : state) {
    benchmark::DoNotOptimize(t);
    QUAT r = QuatSlerp(&a, &b, t);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_QuatSlerp);

void BM_RotationToQuat(benchmark::State& state) {
  VECTOR3D angles{12.5f, -47.0f, 133.0f};
  for (auto _ : state) {
    benchmark::DoNotOptimize(angles);
    QUAT q = RotationToQuat(angles);
    benchmark::DoNotOptimize(q);
  }
}
BENCHMARK(BM_RotationToQuat);

}  // namespace
