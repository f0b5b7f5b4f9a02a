#include "butterflies/AQUARIUM.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "util/CString.h"
#include "util/Diagnostics.h"
#include "util/Frustum.h"

namespace {

// Folder paths of three characters or more are used with a trailing "/";
// shorter ones are left as they are. A path that fills its buffer stays as it
// is (it names no folder the catalogue could list anyway).
void AddTrailingSlash(char (&path)[AQUARIUM::kPathBytes]) {
  const size_t length = std::strlen(path);
  if (length < 3 || path[length - 1] == '/' || length + 1 >= sizeof path) return;
  path[length] = '/';
  path[length + 1] = '\0';
}

// rand() reduced modulo `range`, divided by 10, minus `offset`.
float RandomCoordinate(int range, float offset) {
  return static_cast<float>(std::rand() % range) / 10.0f - offset;
}

}  // namespace

int compare_depth(const void* a, const void* b) {
  const float za = static_cast<const ONEBFLY*>(a)->position.z;
  const float zb = static_cast<const ONEBFLY*>(b)->position.z;
  if (za > zb) return 1;
  if (za < zb) return -1;
  return 0;
}

AQUARIUM::~AQUARIUM() {
  // Butterflies first: they point into the catalogue's types.
  Cleanup();
  CleanupBFlyList();
}

bool AQUARIUM::Setup(const SETTINGS* settings) {
  if (!settings) return false;
  // Whatever an earlier set-up left goes first; butterflies before the types
  // they point into.
  Cleanup();
  CleanupBFlyList();
  mixMode = settings->MIXBFLY;
  // The settings bound the count from above only; no butterflies is the
  // sensible reading of a negative one.
  numBFlys = std::max<int64_t>(settings->MAX_BFLY, 0);
  // Limited here too: the size scales both the models and the flight.
  sizeFactor = static_cast<float>(
      static_cast<double>(std::clamp(settings->LBFLYSIZE, kMinBFlySize, kMaxBFlySize)) / 100.0);

  CopyCString(bflyPath, settings->BFlyPath, sizeof settings->BFlyPath);
  CopyCString(bflyPath2, settings->BFlyPath2, sizeof settings->BFlyPath2);
  CopyCString(selectedBFlyName, settings->SelectedBFlyName, sizeof settings->SelectedBFlyName);
  AddTrailingSlash(bflyPath);
  AddTrailingSlash(bflyPath2);

  if (!BuildBFlyList()) return false;
  FindSelectedBFly(&mixMode);
  if (numBFlyTypes <= 1) mixMode = 1;

  if (numBFlys < 1) return true;
  bflys.reset(new (std::nothrow) ONEBFLY[static_cast<size_t>(numBFlys)]);
  if (!bflys) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }

  for (int64_t i = 0; i < numBFlys; ++i) {
    const int32_t type = mixMode == 1 ? selectedType : std::rand() % numBFlyTypes;
    BFLYINFO& entry = bflyList[type];
    if (!entry.LoadData(entry.path, sizeFactor)) return false;
    if (!bflys[i].SetupFromBFlyData(entry.data.get())) return false;
    bflys[i].Reset();
  }
  return true;
}

void AQUARIUM::Move(float speedFactor, float dt) {
  if (!bflys || !(dt > 0.0f)) return;
  // Faster than the limit a butterfly overshoots the view between frames
  // and never shows; not a number or negative is standing still.
  const float maxSpeed = static_cast<float>(kMaxFlySpeed) / 100.0f;
  speedFactor = speedFactor >= 0.0f ? (speedFactor <= maxSpeed ? speedFactor : maxSpeed) : 0.0f;
  for (int64_t i = 0; i < numBFlys; ++i) {
    ONEBFLY& bfly = bflys[i];
    if (bfly.action == ONEBFLY::kFlying || bfly.action == ONEBFLY::kLanded) {
      bfly.Move(bflys.get(), static_cast<long>(numBFlys), speedFactor, dt);
    } else if (bfly.action <= ONEBFLY::kWaiting) {
      // One chance in 20 per frame, not per second.
      if (std::rand() % 20 == 1) Launch(&bfly);
    }
  }
}

void AQUARIUM::Launch(ONEBFLY* bfly) {
  bfly->SetAction(ONEBFLY::kFlying);
  const float tz = RandomCoordinate(400, 20.0f);
  const float ty = RandomCoordinate(400, 20.0f);
  const float tx = RandomCoordinate(400, 20.0f);
  bfly->target = {tx, ty, tz};

  // Every butterfly starts outside the view and flies in. A view that holds
  // every launch point would never let the search end: after a bounded
  // number of tries the butterfly waits for another frame's chance.
  for (int tries = 0; tries < kLaunchTries; ++tries) {
    const float z = RandomCoordinate(600, 30.0f);
    const float y = RandomCoordinate(600, 30.0f);
    const float x = RandomCoordinate(1200, 60.0f);
    if (!PointInFrustum({x, y, z})) {
      bfly->position = {x, y, z};
      return;
    }
  }
  bfly->SetAction(ONEBFLY::kWaiting);
}

void AQUARIUM::Draw(bool shadow) {
  if (!bflys || numBFlys < 1) return;
  for (int64_t i = 0; i < numBFlys; ++i) {
    if (bflys[i].action != ONEBFLY::kWaiting) bflys[i].Draw(shadow);
  }
}

void AQUARIUM::Sort() {
  if (!bflys || numBFlys < 2) return;
  // A stable merge never relies on the order being strict, so a position
  // that is not a number cannot lead it astray.
  std::stable_sort(bflys.get(), bflys.get() + numBFlys, [](const ONEBFLY& a, const ONEBFLY& b) {
    return compare_depth(&a, &b) < 0;
  });
}

void AQUARIUM::Cleanup() { bflys.reset(); }
