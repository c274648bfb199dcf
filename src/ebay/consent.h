#pragma once

#include <QString>

// Taking eBay's consent back: after the user agreed on eBay's page, the browser ends at the
// keyset's accept URL with `code` and `state`; the user pastes that address, or only the code.
namespace ebay::consent {

// A fresh, unguessable state for one consent page.
QString newState();

struct Reading {
  QString code;   // the authorization code, decoded
  QString error;  // why there is none, in German
};

// Reads the pasted text: an address with "code=" (its "state" must be `expectedState`), an
// address with eBay's refusal ("error="), or the code alone, percent-encoded or not.
Reading read(const QString& pasted, const QString& expectedState);

}  // namespace ebay::consent
