// Fuzz target for butterfly types: the input is a whole ".bfly" file (in an
// anonymous memory file, since types load by folder and name). A type that
// loads gets two butterflies, which fly and rest for two simulated seconds
// in the scene's view: whatever the model holds, flight and skinning must
// stay within their buffers. There is no OpenGL context, so image lumps
// fail to build; seeds mark their texture lumps as non-images to get past.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYINFO.h"
#include "fuzz/MemoryFile.h"
#include "util/CString.h"
#include "util/Diagnostics.h"
#include "util/Frustum.h"

namespace {

void Quiet(const char*, const char*) {}

void SetView() {
  // gluPerspective(45, 16/9, 1, 120) and the camera at (0, 0, 60).
  const float p[16] = {1.357995f, 0, 0, 0, 0, 2.414213f, 0, 0, 0, 0, -1.016807f, -1, 0, 0, -2.016807f, 0};
  const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -60, 1};
  SetFrustumFromMatrices(p, m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetAlertHook(Quiet);
  const MemoryFile file("fuzz_bfly_type", data, size);
  if (file.ok()) {
    std::srand(1);
    SetView();
    BFLYINFO info;
    CopyCString(info.fileName, std::to_string(file.fd()).c_str());
    if (info.LoadData("/proc/self/fd/", 0.7f)) {
      ONEBFLY flock[2];
      for (ONEBFLY& b : flock) {
        if (!b.SetupFromBFlyData(info.data.get())) break;
        b.Reset();
        b.SetAction(ONEBFLY::kFlying);
        b.position = {0, 0, -39};
      }
      flock[1].SetAction(ONEBFLY::kLanded);
      flock[1].landBlend = 0.0f;
      for (int f = 0; f < 120; ++f)
        for (ONEBFLY& b : flock) b.Move(flock, 2, 0.75f, 1.0f / 60.0f);
    }
  }
  return 0;
}
