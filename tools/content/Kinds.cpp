#include "tools/content/Kinds.h"

std::vector<ButterflyKind> ShippedKinds() {
  return {GulfFritillaryKind()};
}
