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

  const QString t = st.ResponseText;
  // A body of the wrong length, or one without three pieces, is no version: nothing is
  // compared, and the known version is saved again.
  const QString remote = (t.size() >= 5 && t.size() <= 10) ? versionKey(t) : QString();
  if (!remote.isEmpty()) {
    const QString local = versionKey(QStringLiteral("%1.%2.%3")
                                         .arg(version::kMajor)
                                         .arg(version::kMinor)
                                         .arg(version::kRevision));
    if (QString::compare(remote, local, Qt::CaseSensitive) > 0) {
      st.AvailableVersion = t;
      mark.showUpdateMark();
    } else {
      st.AvailableVersion.clear();
    }
  }
  ctx.settings.SaveSetting(settingskeys::kApp, settingskeys::kSection, QStringLiteral("Update"),
                           st.AvailableVersion);
}
