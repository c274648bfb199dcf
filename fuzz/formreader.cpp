// The form reader on any page: readFormData's errors are run-time errors (VbError), never a
// crash; the field list, the target address and the request body keep their rules.
#include <QStringList>

#include "app/vberror.h"
#include "bidding/formreader.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray input = fuzz::bytes(data, size);
  // A form name may come first, ended by a NUL byte; otherwise the bid's "PlaceBid".
  QString name = QStringLiteral("PlaceBid");
  const qsizetype nul = input.indexOf('\0');
  if (nul >= 0 && nul <= 16) {
    name = cp1252::decode(input.left(nul));
    input = input.mid(nul + 1);
  }
  const QString page = cp1252::decode(input);
  FormReader reader;
  try {
    reader.read(page, name);
  } catch (const VbError&) {
  }
  fuzz::check(reader.formAction().size() <= 899, "the target address is at most 899 characters");
  QStringList seen;
  for (const FormField& f : reader.fields()) {
    fuzz::check(!f.name.isEmpty(), "no field without a name");
    fuzz::check(!seen.contains(f.name, Qt::CaseInsensitive), "names are unique ignoring case");
    seen.append(f.name);
    fuzz::check(reader.fieldValue(f.name) == f.value, "a field is found by its name");
    bool ascii = true;
    for (const QChar c : f.name) ascii = ascii && c.unicode() < 0x80;
    if (ascii)
      fuzz::check(reader.fieldValue(f.name.toUpper()) == f.value,
                  "a field is found by its name in capitals");
  }
  if (!reader.fields().isEmpty()) {
    reader.setFieldValue(reader.fields().first().name, QStringLiteral("a b&amp;\u00E4"));
    fuzz::check(
        reader.postData().startsWith(reader.fields().first().name + QStringLiteral("=a+b%26%E4&")),
        "the body starts with the first field, its new value encoded");
  }
  const QString body = reader.postData();
  fuzz::check(body.count(QChar('&')) >= reader.fields().size(), "every field ends with &");
  // Tag positions count from 1 (below that is an error of the caller's).
  const qsizetype n = reader.formText().size();
  for (const qsizetype pos : {qsizetype(1), n / 2 + 1, n, n + 1})
    if (pos >= 1) reader.attributeValue(QStringLiteral("Value"), pos);
  URLEncode(page);
  return 0;
}
