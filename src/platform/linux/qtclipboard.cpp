#include "platform/linux/qtclipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

QString QtClipboard::text() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) return QString();
  const QString text = clipboard->text(QClipboard::Clipboard);
  if (!text.isEmpty()) return text;
  // A file manager or a browser may offer a copied link as a link list only.
  const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
  if (data && data->hasUrls() && !data->urls().isEmpty())
    return data->urls().first().toString(QUrl::FullyEncoded);
  return QString();
}
