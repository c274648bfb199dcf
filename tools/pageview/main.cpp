// pageview URL [--pos X,Y]: fetches one page over HTTP and shows it in a window titled like
// the page, the way a browser does. Bodies without a declared character set are read as
// Windows-1252, the auction site's code page. F5 loads the page again.
#include <QApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QShortcut>
#include <QStringDecoder>
#include <QTextBrowser>
#include <QUrl>

#include <cstdio>

#include "app/cp1252.h"

namespace {
QString decodeBody(const QByteArray& body, const QString& contentType) {
  static const QRegularExpression charsetRe(QStringLiteral("charset=\"?([A-Za-z0-9_.:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
  QString charset = charsetRe.match(contentType).captured(1).toLower();
  if (charset.isEmpty())
    charset = charsetRe.match(QString::fromLatin1(body.left(1024))).captured(1).toLower();
  if (charset == QLatin1String("utf-8") || charset == QLatin1String("utf8"))
    return QString::fromUtf8(body);
  if (charset == QLatin1String("iso-8859-1") || charset == QLatin1String("latin1"))
    return QString::fromLatin1(body);
  return cp1252::decode(body);
}
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("pageview"));
  QStringList args = QApplication::arguments();
  args.removeFirst();
  QString url;
  QPoint pos(-1, -1);
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--pos") && i + 1 < args.size()) {
      const QStringList xy = args[++i].split(QChar(','));
      if (xy.size() == 2) pos = QPoint(xy[0].toInt(), xy[1].toInt());
    } else if (url.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
      url = args[i];
    } else {
      std::fprintf(stderr, "usage: pageview URL [--pos X,Y]\n");
      return 2;
    }
  }
  if (url.isEmpty()) {
    std::fprintf(stderr, "usage: pageview URL [--pos X,Y]\n");
    return 2;
  }

  QTextBrowser view;
  view.setOpenLinks(false);
  view.resize(640, 360);
  if (pos.x() >= 0 && pos.y() >= 0) view.move(pos);
  view.setWindowTitle(QStringLiteral("Seite wird geladen..."));
  view.show();

  QNetworkAccessManager net;
  const auto load = [&net, &view, url] {
    QNetworkReply* reply = net.get(QNetworkRequest(QUrl(url)));
    QObject::connect(reply, &QNetworkReply::finished, &view, [&view, reply] {
      reply->deleteLater();
      const QByteArray body = reply->readAll();
      if (reply->error() != QNetworkReply::NoError && body.isEmpty()) {
        view.setWindowTitle(QStringLiteral("Seite nicht erreichbar"));
        view.setPlainText(reply->errorString());
        return;
      }
      const QString contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
      view.setHtml(decodeBody(body, contentType));
      const QString title = view.documentTitle();
      view.setWindowTitle(title.isEmpty() ? reply->url().toString() : title);
    });
  };
  // F5 loads the page again, as in a browser.
  auto* reload = new QShortcut(QKeySequence::Refresh, &view);
  QObject::connect(reload, &QShortcut::activated, &view, load);
  load();
  return QApplication::exec();
}
