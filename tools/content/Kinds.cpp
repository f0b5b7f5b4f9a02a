#include "tools/content/Kinds.h"

std::vector<ButterflyKind> ShippedKinds() {
  return {GulfFritillaryKind(), MonarchKind(),     BlueMorphoKind(),
          TigerSwallowtailKind(), CabbageWhiteKind(), PeacockKind(),
          RedAdmiralKind(),     ZebraLongwingKind(), BrimstoneKind()};
}
