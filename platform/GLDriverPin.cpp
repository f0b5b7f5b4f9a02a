#include "platform/GLDriverPin.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WINGDRIFT_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define WINGDRIFT_ASAN 1
#endif

#ifdef WINGDRIFT_ASAN
#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The libraries of Mesa's drivers and the libglvnd vendor libraries that
// load them.
bool IsDriverLibrary(const char* path) {
  for (const char* part : {"_dri.so", "libgallium", "libLLVM", "libEGL_mesa", "libGLX_mesa",
                           "libglapi"}) {
    if (std::strstr(path, part) != nullptr) return true;
  }
  return false;
}

int Collect(dl_phdr_info* info, size_t, void* data) {
  if (info->dlpi_name != nullptr && IsDriverLibrary(info->dlpi_name)) {
    static_cast<std::vector<std::string>*>(data)->push_back(info->dlpi_name);
  }
  return 0;
}

}  // namespace

void KeepGLDriversLoaded() {
  std::vector<std::string> paths;
  dl_iterate_phdr(Collect, &paths);
  // A reference that is never dropped, on a library that is never unloaded.
  for (const std::string& path : paths) dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}
#else
void KeepGLDriversLoaded() {}
#endif
