// Writes the seed corpus of fuzz_catalogue into the folder named by its
// argument: catalogues as servers send them, sound and broken.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Plist(const std::string& inner) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n" + inner + "</plist>\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  const std::string hash(64, 'b');
  static const char kBinary[] = "bplist00\xa1\x01\x5f\x10\x0eMonarch;M.bfly\x08\x0a";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"two-parts", Plist("<array>\n\t<string>Monarch;Monarch.bfly</string>\n"
                          "\t<string>Peacock;http://example.org/t/Peacock.bfly</string>\n</array>\n")},
      {"four-parts", Plist("<array>\n\t<string>Blue Morpho;BlueMorpho.bfly;915488;" + hash +
                           "</string>\n\t<string>X;y.bfly;;</string>\n</array>\n")},
      {"odd-lines", Plist("<array>\n\t<string>Lonely</string>\n\t<string>;</string>\n"
                          "\t<string>a;b;12k;zz</string>\n\t<string/>\n</array>\n")},
      {"long-name", Plist("<array>\n\t<string>" + std::string(45, 'N') + ";" +
                          std::string(600, 'L') + "</string>\n</array>\n")},
      {"entities", Plist("<array>\n\t<string>R&amp;D &#x263A;;a%20b.bfly</string>\n"
                         "\t<string><![CDATA[C<D>;c.bfly]]></string>\n</array>\n")},
      {"numbers", Plist("<array>\n\t<integer>1</integer>\n\t<real>2.5</real>\n</array>\n")},
      {"dict", Plist("<dict>\n\t<key>a</key>\n\t<array><string>x;y</string></array>\n</dict>\n")},
      {"empty-array", Plist("<array/>\n")},
      {"html", "<html><body>Moved</body></html>\n"},
      {"binary", std::string(kBinary, sizeof kBinary - 1)},
  };
  bool ok = true;
  for (const auto& [name, bytes] : files) {
    FILE* f = std::fopen((folder + name).c_str(), "wb");
    ok &= f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr) ok &= std::fclose(f) == 0;
  }
  return ok ? 0 : 1;
}
