#pragma once
// Stream handling shared by the two lump readers (BFLYFILE, RESFILE).
#include <cstdint>
#include <fstream>
#include <memory>

// Opens `path` for binary input and measures it; the stream is left at
// offset 0. False (stream closed) when the file cannot be opened or measured.
bool OpenLumpStream(std::ifstream& stream, const char* path, uint64_t* length);

// True when `count` entries of `entrySize` bytes starting at `offset` lie
// wholly inside a file of `length` bytes. Checked before a directory is
// allocated, so a header claiming billions of entries costs nothing.
bool DirectoryFits(uint64_t length, uint32_t offset, uint32_t count, uint32_t entrySize);

// Seeks to `offset` from the start of the file, first clearing any failure a
// previous read left behind (as fseek does), so that one short lump does not
// spoil the next. True when the stream is usable afterwards.
bool SeekLumpStream(std::ifstream& stream, uint32_t offset);

// Reads `size` bytes at `offset` into a new array handed out through `data`
// on success. Refused before allocating when the bytes are not in the file.
bool ReadLumpStream(std::ifstream& stream, uint32_t offset, uint32_t size,
                    std::unique_ptr<uint8_t[]>* data);
