#include "update/versioncheck.h"

#include <cmath>

#include "app/appstate.h"
#include "app/settings.h"
#include "app/version.h"
#include "bidding/inet.h"
#include "bidding/transfer.h"
#include "update/updatemark.h"

namespace {
QString twoDigits(const QString& piece, const RegionalFormat& fmt) {
  const auto value = regional::parseNumber(piece, fmt);
  if (!value) return piece;
  const double r = std::round(*value);
  const QString digits = QString::number(std::fabs(r), 'f', 0).rightJustified(2, QChar('0'));
  return r < 0 ? QStringLiteral("-") + digits : digits;
}
}  // namespace

QString versionKey(const QString& version) {
  const QStringList pieces = version.split(QChar('.'));
  if (pieces.size() < 3) return QString();
  const RegionalFormat fmt = RegionalFormat::german();
  return twoDigits(pieces[0], fmt) + twoDigits(pieces[1], fmt) + twoDigits(pieces[2], fmt);
}

std::optional<QString> announcedVersion(const QString& answer, const QString& installed) {
  // A body of the wrong length, or one without three pieces, is no version: nothing is
  // compared.
  const QString remote =
      (answer.size() >= 5 && answer.size() <= 10) ? versionKey(answer) : QString();
  if (remote.isEmpty()) return std::nullopt;
  return QString::compare(remote, versionKey(installed), Qt::CaseSensitive) > 0 ? answer
                                                                                : QString();
}

QString clockSyncUserAgent(const QString& versionText, const QString& installTag) {
  return QStringLiteral("User-Agent: Auktionsuhr+ - ") + versionText + QStringLiteral(" - ") +
         installTag + QStringLiteral("\r\n");
}

QString bidReportUserAgent(const QString& versionText, const QString& installTag,
                           const QString& outcomeCode) {
  return QStringLiteral("User-Agent: Auktionsuhr++ - ") + versionText + QStringLiteral(" - ") +
         installTag + QStringLiteral(" - ") + outcomeCode + QStringLiteral("\r\n");
}

void VersionCheck(AppContext& ctx, UpdateMark& mark, const QString& headerText) {
  AppState& st = ctx.state;
  ctx.inet1.URL = st.endpoints.vendorServer + QStringLiteral("/files/update+");
  runRequest(ctx, ctx.inet1, ctx.inet1.URL, QString(), QString(), headerText);

  const std::optional<QString> announced = announcedVersion(
      st.ResponseText,
      QStringLiteral("%1.%2.%3").arg(version::kMajor).arg(version::kMinor).arg(version::kRevision));
  // An answer that is no version leaves the known one, which is saved again.
  if (announced) {
    st.AvailableVersion = *announced;
    if (!announced->isEmpty()) mark.showUpdateMark();
  }
  ctx.settings.SaveSetting(settingskeys::kApp, settingskeys::kSection, QStringLiteral("Update"),
                           st.AvailableVersion);
}
