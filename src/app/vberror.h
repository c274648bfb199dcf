#pragma once

#include <QString>
#include <stdexcept>

// A run-time error as the program reports it: a number and a German description.
class VbError : public std::runtime_error {
 public:
  VbError(int number, QString description);
  explicit VbError(int number);

  int number() const { return m_number; }
  const QString& description() const { return m_description; }

 private:
  int m_number;
  QString m_description;
};

namespace vberr {
inline constexpr int kInvalidCall = 5;    // Unzulässiger Prozeduraufruf oder ungültiges Argument
inline constexpr int kOverflow = 6;       // Überlauf
inline constexpr int kSubscript = 9;      // Index außerhalb des gültigen Bereichs
inline constexpr int kTypeMismatch = 13;  // Typen unverträglich
inline constexpr int kFileNotFound = 53;  // Datei nicht gefunden
inline constexpr int kDiskFull = 61;      // Datenträger voll
inline constexpr int kFileExists = 58;    // Datei existiert bereits
inline constexpr int kPermissionDenied = 70;  // Zugriff verweigert
inline constexpr int kPathFileAccess = 75;    // Fehler beim Zugriff auf Pfad/Datei
inline constexpr int kPathNotFound = 76;      // Pfad nicht gefunden
inline constexpr int kInvalidProperty = 380;  // Unzulässiger Eigenschaftswert

// The German description of a known error number ("Anwendungs- oder objektdefinierter Fehler"
// for others).
QString description(int number);

[[noreturn]] void raise(int number);

// The same error, its description naming the setting whose stored text it could not read:
// "Typen unverträglich (Einstellung 'Left')".
VbError inSetting(const VbError& error, const QString& key);
}  // namespace vberr
