#include "scene/Clock.h"

#include <ctime>

void Clock(int* hour, int* minute, int* second) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  const bool known = localtime_r(&now, &local) != nullptr;
  if (hour) *hour = known ? local.tm_hour : 0;
  if (minute) *minute = known ? local.tm_min : 0;
  if (second) *second = known ? local.tm_sec : 0;
}
