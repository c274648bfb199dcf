// The update's manifest on any body: what is read back is what the vendor tool writes for it,
// and reading that again gives the same files.
#include <QSet>

#include "fuzzcheck.h"
#include "releasesigning.h"
#include "update/signedrelease.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto manifest = signedrelease::parseManifest(fuzz::bytes(data, size));
  if (!manifest) return 0;
  const auto* entries = &manifest->entries;
  fuzz::check(signedrelease::versionNumbers(manifest->version).has_value(), "a version");
  QSet<QString> names;
  std::string written = vendorsign::manifestVersionLine(manifest->version.toStdString());
  for (const auto& e : *entries) {
    fuzz::check(!e.name.isEmpty() && !names.contains(e.name), "names are there and unique");
    fuzz::check(e.size >= 0 && e.size <= signedrelease::kMaxFileBytes, "sizes in range");
    fuzz::check(e.sha256.size() == 32, "a whole SHA-256");
    names.insert(e.name);
    written += vendorsign::manifestName(cp1252::encode(e.name).toStdString()) + " " +
               std::to_string(e.size) + " " + e.sha256.toHex().toStdString() + "\n";
  }
  const auto read = signedrelease::parseManifest(QByteArray::fromStdString(written));
  fuzz::check(read && read->version == manifest->version && read->entries.size() == entries->size(),
              "the written manifest reads back");
  const auto* again = &read->entries;
  for (qsizetype i = 0; i < entries->size(); ++i)
    fuzz::check(again->at(i).name == entries->at(i).name &&
                    again->at(i).size == entries->at(i).size &&
                    again->at(i).sha256 == entries->at(i).sha256,
                "every line the same");
  return 0;
}
