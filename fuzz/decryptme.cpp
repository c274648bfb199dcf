// Password scrambling: decryptme on any stored text, and cryptme followed by decryptme gives
// back every password whose characters the three digits can hold.
#include "app/scramble.h"
#include "app/vberror.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString& key = scramble::passwordKey();
  const QString text = fuzz::utf16(data, size);
  try {
    decryptme(text, key);
    decryptme(fuzz::page(data, size), key);
  } catch (const VbError&) {
  }
  QString password = text.left(87);
  bool restorable = true;
  for (const QChar c : password) restorable = restorable && c.unicode() <= 0xF03;
  try {
    const QString stored = cryptme(password, key);
    fuzz::check(stored.size() == 3 * password.size(), "three digits per character");
    if (restorable) fuzz::check(decryptme(stored, key) == password, "the password comes back");
  } catch (const VbError& e) {
    fuzz::check(e.number() == vberr::kOverflow, "cryptme fails only by overflow");
  }
  return 0;
}
