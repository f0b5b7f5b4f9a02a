#pragma once
// bflytool: makes, inspects and previews butterfly type files (".bfly") and
// resource packs ("QORF") for the people who author them.
//
//   bflytool info FILE... [--json] [--size S]   (--json: one object a line)
//   bflytool validate FILE...
//   bflytool pack -o OUT.bfly --model MODEL.ms3d --texture TEX.tga[=RULE]...
//                 [--alpha ALPHA.tga] --name NAME [--scale PERCENT] [--force]
//   bflytool pack DIR -o OUT.bfly [--force]        (DIR holds a manifest)
//   bflytool unpack FILE DIR [--force]
//   bflytool preview FILE -o SHEET.png [--size S] [--cell PIXELS] [--force]
//   bflytool catalogue OUTDIR TYPE.bfly... [--force]
//   bflytool list SERVER [--into DIR] [--timeout S]
//   bflytool download SERVER NAME [--into DIR] [--timeout S]
//
// catalogue writes a folder any static web server can serve as a download
// server: the catalogue "mac/zips/bfly/bflyTypes.plist", the types beside
// it, and an "index.html" gallery. list prints the entries of SERVER's
// catalogue, marking those DIR (default: the user's butterfly folder)
// holds; download fetches the entry of that display name into DIR and
// succeeds only when it landed verified. --timeout replaces the transfer
// limits (connect, whole catalogue, stall; 10, 30 and 30 s).
//
// RULE is the texture's alpha rule: opaque, key or brightness. Every failure
// is one line on `err`; nothing is overwritten without --force.
#include <ostream>
#include <string>
#include <vector>

// Runs one command; `args` excludes the program name. Returns the exit
// status: 0 success, 1 a command failed (a file did not validate, an input
// was refused), 2 a usage error.
int RunBflytool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
