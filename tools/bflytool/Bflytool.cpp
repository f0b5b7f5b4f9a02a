#include "tools/bflytool/Bflytool.h"

#include "tools/bflytool/Commands.h"

namespace {

const char* const kUsage =
    "usage:\n"
    "  bflytool info FILE... [--json] [--size S]\n"
    "  bflytool validate FILE...\n"
    "  bflytool pack -o OUT.bfly --model MODEL.ms3d --texture TEX.tga[=RULE]...\n"
    "                [--alpha ALPHA.tga] --name NAME [--scale PERCENT] [--force]\n"
    "  bflytool pack DIR -o OUT.bfly [--force]\n"
    "  bflytool unpack FILE DIR [--force]\n"
    "  bflytool preview FILE -o SHEET.png [--size S] [--cell PIXELS] [--force]\n"
    "  bflytool catalogue OUTDIR TYPE.bfly... [--force]\n"
    "  bflytool list SERVER [--into DIR] [--timeout S]\n"
    "  bflytool download SERVER NAME [--into DIR] [--timeout S]\n"
    "RULE: opaque, key or brightness. FILE: a \".bfly\" type or a \"QORF\" resource pack.\n";

}  // namespace

int RunBflytool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "help") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 2 : 0;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  const std::string& command = args[0];
  if (command == "info") return InfoCommand(rest, out, err);
  if (command == "validate") return ValidateCommand(rest, out, err);
  if (command == "pack") return PackCommand(rest, out, err);
  if (command == "unpack") return UnpackCommand(rest, out, err);
  if (command == "preview") return PreviewCommand(rest, out, err);
  if (command == "catalogue") return CatalogueCommand(rest, out, err);
  if (command == "list") return ListCommand(rest, out, err);
  if (command == "download") return DownloadCommand(rest, out, err);
  err << "bflytool: unknown command \"" << command << "\" (try bflytool --help)\n";
  return 2;
}
