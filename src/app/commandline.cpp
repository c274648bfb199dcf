#include "app/commandline.h"

#include <QCommandLineParser>

#include "app/version.h"

namespace commandline {
namespace {
struct Option {
  QStringList names;
  QString description;
  Request request;
};

// The options the parser reads.
const QList<Option>& options() {
  static const QList<Option> list = {
      {{QStringLiteral("h"), QStringLiteral("help")},
       QStringLiteral("zeigt diese Hilfe"),
       Request::Help},
      {{QStringLiteral("version")}, QStringLiteral("zeigt die Version"), Request::Version},
      // Read by Main from the argument text; listed here so that the help names it.
      {{QStringLiteral("ebay-zugang")},
       QStringLiteral("öffnet beim Start das Fenster „eBay-Zugang“"),
       Request::Run},
      // Read before the parser, as the only argument; listed here so that the help names it.
      {{QStringLiteral("liste")},
       QStringLiteral("zeigt die laufenden Fenster, eines je Zeile, und endet"),
       Request::Run},
  };
  return list;
}

// "-h, --help": one dash for a letter, two for a word.
QString shownNames(const QStringList& names) {
  QStringList shown;
  for (const QString& n : names)
    shown << (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n;
  return shown.join(QStringLiteral(", "));
}
}  // namespace

Parsed parse(const QStringList& arguments) {
  QCommandLineParser parser;
  // "-h" and "-time" are words with one dash, not letters run together.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  QList<QCommandLineOption> known;
  for (const Option& o : options()) {
    known.append(QCommandLineOption(o.names));
    parser.addOption(known.last());
  }
  // Unknown words are no error here: they start the program as they always did.
  parser.parse(QStringList{QString()} + arguments);
  Parsed parsed;
  parsed.text = arguments.join(QChar(' '));
  for (qsizetype i = 0; i < options().size(); ++i) {
    if (options()[i].request != Request::Run && parser.isSet(known[i])) {
      parsed.request = options()[i].request;
      break;
    }
  }
  return parsed;
}

QString helpText() {
  QStringList rows = {
      QStringLiteral("-time\tstellt nur die Uhr nach der Zeit des Auktionshauses, ohne Fenster"),
      QStringLiteral("-bay\tstartet mit dem beim letzten Schließen gespeicherten Artikel"),
  };
  for (const Option& o : options()) rows << shownNames(o.names) + QChar('\t') + o.description;
  QString text = QStringLiteral("Aufruf: gebotsfalkeplus [Option]\n") + version::appTitle() +
                 QChar(' ') + version::full() +
                 QStringLiteral(
                     " bietet Sekunden vor dem Ende einer eBay-Auktion.\n\n"
                     "Optionen (-time und -bay nur allein und genau so geschrieben):\n");
  for (const QString& row : rows) {
    const QString names = row.section(QChar('\t'), 0, 0);
    text +=
        QStringLiteral("  ") + names.leftJustified(15) + row.section(QChar('\t'), 1) + QChar('\n');
  }
  return text;
}

QString versionText() {
  return version::appTitle() + QChar(' ') + version::full() + QChar('\n');
}

}  // namespace commandline
