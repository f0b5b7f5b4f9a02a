#pragma once
// The small text file that lists the parts of a butterfly type, written by
// `bflytool unpack` and read by `bflytool pack DIR`. One "key = value" per
// line; "#" starts a comment:
//
//   name = Golden Fritillary
//   scale = 100
//   info = 0
//   model = model.ms3d
//   alpha = alpha.tga                 (only with a shared alpha image)
//   texture = texture-0.tga opaque    (file, then its alpha rule)
//
// File names are relative to the manifest's folder.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct Manifest {
  std::string name;        // display name, at most 39 bytes
  int scale = 100;         // model scale, per cent (1 to 255)
  int info = 0;            // the header's info byte
  std::string model;       // MilkShape 3D file
  std::string alpha;       // shared alpha image; empty for none
  std::vector<std::pair<std::string, int32_t>> textures;  // file, alpha rule
};

std::string FormatManifest(const Manifest& m);
// False with `error` naming the line for anything it does not understand.
bool ParseManifest(const std::string& text, Manifest* m, std::string* error);
