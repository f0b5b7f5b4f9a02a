#include "datafiles/ResourcePack.h"

#include <climits>
#include <new>

#include "datafiles/RESFILE.h"

bool LoadTexturesFromDataFile(const char* path, std::unique_ptr<Texture[]>* textures, int* count) {
  if (!textures || !count) return false;
  RESFILE file;
  if (!file.Open(path)) return false;
  const uint32_t lumps = file.header.lumpCount;
  if (lumps > INT_MAX) return false;
  // The directory was read whole, so the count is bounded by the file's size.
  std::unique_ptr<Texture[]> array(new (std::nothrow) Texture[lumps]);
  if (!array) return false;
  *count = static_cast<int>(lumps);
  *textures = std::move(array);

  Texture* slots = textures->get();
  for (uint32_t i = 0; i < lumps; ++i) {
    const RESLUMP& entry = file.directory[i];
    if (entry.type != 1) continue;
    if (!file.SeekLump(static_cast<int>(i)) || !LoadTGA2(&slots[i], &file.stream) ||
        !BuildTexture(&slots[i], entry.alphaMode))
      return false;
  }
  file.Close();
  return true;
}
