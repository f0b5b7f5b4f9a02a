#include "datafiles/BFLYINFO.h"

#include <new>
#include <string>

#include "util/CString.h"
#include "util/Diagnostics.h"

bool BFLYINFO::LoadData(const char* folder, float size) {
  if (loaded) return true;

  std::unique_ptr<BFLYFILE> file(new (std::nothrow) BFLYFILE);
  if (!file) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }
  std::string fullPath(folder ? folder : "");
  fullPath.append(fileName, BoundedLength(fileName, sizeof fileName));
  if (!file->Open(fullPath.c_str())) {
    ERRORCLOSE("Unable to load currency!");
    return false;
  }

  data.reset(new (std::nothrow) BFLYDATA);
  if (!data) {
    ERRORCLOSE("Unable to allocate memory!");
    return false;
  }
  // Building the type (skeleton, template, instance, textures) allocates as
  // it goes; memory that runs out fails this load instead of throwing out
  // of it.
  bool result = false;
  try {
    result = data->Load(file.get(), size);
  } catch (const std::bad_alloc&) {
    ERRORCLOSE("Unable to allocate memory!");
  }
  file->Close();
  file.reset();

  // Only a type that loaded counts as loaded; a failed one is tried (and
  // reported) again rather than passed off as ready.
  loaded = result;
  if (!result) data.reset();
  return result;
}
