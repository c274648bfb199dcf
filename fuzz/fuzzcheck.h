#pragma once

// Shared by the fuzz targets: the input as texts, and a check that ends the run (so that
// libFuzzer keeps the input) when a property of the program does not hold.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/cp1252.h"

namespace fuzz {

inline QByteArray bytes(const uint8_t* data, size_t size) {
  return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The input as a page or file of the site: Windows-1252.
inline QString page(const uint8_t* data, size_t size) {
  return cp1252::decode(bytes(data, size));
}

// The input as UTF-16 code units (two bytes each), so that every character can come up,
// unpaired surrogates included.
inline QString utf16(const uint8_t* data, size_t size) {
  return QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
}

inline void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property does not hold: %s\n", what);
  std::abort();
}

}  // namespace fuzz
