#pragma once
// Where the catalogue of downloadable types is.
#include <string>

class ScreenSaverDefaults;

// The catalogue's fixed path on the download server.
inline constexpr const char* kCataloguePath = "/mac/zips/bfly/bflyTypes.plist";
// The settings key whose value, when present, replaces the address the
// program was built with.
inline constexpr const char* kDownloadServerKey = "DownloadServer";

// The server's base address: the store's "DownloadServer" when the key is
// present (even empty), else the build's default (empty unless configured).
// Empty: no server, the check is off.
std::string DownloadServerAddress(const ScreenSaverDefaults& store);
// The build's default address.
const char* BuiltInDownloadServer();

// The catalogue's address on `server` (a trailing "/" of the server is
// dropped); empty when `server` is empty.
std::string CatalogueUrl(const std::string& server);

// `location` as an absolute address: an absolute one as it is, a relative
// one against `catalogueUrl`. False when the two do not make an address.
bool ResolveLocation(const std::string& catalogueUrl, const std::string& location,
                     std::string* url);
