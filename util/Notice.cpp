#include "util/Notice.h"

#include <cstdio>
#include <set>

namespace {

std::set<std::string>& Said() {
  static std::set<std::string> said;
  return said;
}

}  // namespace

bool Notice(const std::string& text) {
  if (!Said().insert(text).second) return false;
  std::fprintf(stderr, "wingdrift: %s\n", text.c_str());
  std::fflush(stderr);
  return true;
}

void ForgetNotices() { Said().clear(); }
