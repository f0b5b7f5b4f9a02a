#include "platform/GLDriverPreload.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// The library GLX's dispatch (libglvnd) loads for Mesa.
constexpr const char* kMesaGlx = "libGLX_mesa.so.0";
// One name of Mesa's megadriver: the renderers' names are links to it.
constexpr const char* kDriverName = "swrast_dri.so";

// The first folder of a colon-separated list that holds the driver.
void* LoadFromList(std::string_view list) {
  while (!list.empty()) {
    const size_t colon = list.find(':');
    const std::string_view folder = list.substr(0, colon);
    if (!folder.empty()) {
      const std::string path = std::string(folder) + "/" + kDriverName;
      if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL)) return handle;
    }
    if (colon == std::string_view::npos) break;
    list.remove_prefix(colon + 1);
  }
  return nullptr;
}

void* Preload(void*) {
  void* glx = dlopen(kMesaGlx, RTLD_NOW | RTLD_LOCAL);
  if (const char* list = std::getenv("LIBGL_DRIVERS_PATH"); list != nullptr && list[0] != '\0') {
    LoadFromList(list);
    return nullptr;
  }
  link_map* map = nullptr;
  if (glx == nullptr || dlinfo(glx, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
      map->l_name == nullptr) {
    return nullptr;
  }
  const std::string_view path = map->l_name;
  const size_t slash = path.rfind('/');
  if (slash != std::string_view::npos) LoadFromList(std::string(path.substr(0, slash)) + "/dri");
  return nullptr;
}

}  // namespace

GLDriverPreload::GLDriverPreload() { running_ = pthread_create(&thread_, nullptr, Preload, nullptr) == 0; }

GLDriverPreload::~GLDriverPreload() { Wait(); }

void GLDriverPreload::Wait() {
  if (!running_) return;
  pthread_join(thread_, nullptr);
  running_ = false;
}
