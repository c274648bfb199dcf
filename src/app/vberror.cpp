#include "app/vberror.h"

VbError::VbError(int number, QString description)
    : std::runtime_error(description.toStdString()),
      m_number(number),
      m_description(std::move(description)) {}

VbError::VbError(int number) : VbError(number, vberr::description(number)) {}

namespace vberr {

QString description(int number) {
  switch (number) {
    case kInvalidCall:
      return QStringLiteral("Unzulässiger Prozeduraufruf oder ungültiges Argument");
    case kOverflow:
      return QStringLiteral("Überlauf");
    case kSubscript:
      return QStringLiteral("Index außerhalb des gültigen Bereichs");
    case kTypeMismatch:
      return QStringLiteral("Typen unverträglich");
    case kFileNotFound:
      return QStringLiteral("Datei nicht gefunden");
    case kDiskFull:
      return QStringLiteral("Datenträger voll");
    case kFileExists:
      return QStringLiteral("Datei existiert bereits");
    case kPermissionDenied:
      return QStringLiteral("Zugriff verweigert");
    case kPathFileAccess:
      return QStringLiteral("Fehler beim Zugriff auf Pfad/Datei");
    case kPathNotFound:
      return QStringLiteral("Pfad nicht gefunden");
    case kInvalidProperty:
      return QStringLiteral("Unzulässiger Eigenschaftswert");
    default:
      return QStringLiteral("Anwendungs- oder objektdefinierter Fehler");
  }
}

void raise(int number) {
  throw VbError(number);
}

VbError inSetting(const VbError& error, const QString& key) {
  return VbError(error.number(), error.description() + QStringLiteral(" (Einstellung '") + key +
                                     QStringLiteral("')"));
}

}  // namespace vberr
