#pragma once
// The shipped butterfly types.
#include <vector>

#include "tools/content/ButterflyKind.h"

std::vector<ButterflyKind> ShippedKinds();

// One definition per kind (Kinds*.cpp).
ButterflyKind GulfFritillaryKind();
ButterflyKind MonarchKind();
ButterflyKind BlueMorphoKind();
ButterflyKind TigerSwallowtailKind();
ButterflyKind CabbageWhiteKind();
ButterflyKind PeacockKind();
ButterflyKind RedAdmiralKind();
ButterflyKind ZebraLongwingKind();
ButterflyKind BrimstoneKind();
