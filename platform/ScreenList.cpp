#include "platform/ScreenList.h"

#include <algorithm>

const ScreenInfo* ScreenList::Main() const {
  for (const ScreenInfo& s : screens) {
    if (s.primary) return &s;
  }
  return screens.empty() ? nullptr : &screens.front();
}

int ScreenList::NumberForRect(const ViewRect& rect) const {
  const ScreenInfo* main = Main();
  if (main == nullptr) return -1;
  int best = main->number;
  double bestArea = 0;
  for (const ScreenInfo& s : screens) {
    const double w = std::min(rect.x + rect.width, static_cast<double>(s.x) + s.width) -
                     std::max(rect.x, static_cast<double>(s.x));
    const double h = std::min(rect.y + rect.height, static_cast<double>(s.y) + s.height) -
                     std::max(rect.y, static_cast<double>(s.y));
    if (w <= 0 || h <= 0) continue;
    if (w * h > bestArea) {
      bestArea = w * h;
      best = s.number;
    }
  }
  return best;
}
