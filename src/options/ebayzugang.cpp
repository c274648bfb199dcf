#include "options/ebayzugang.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/appstate.h"
#include "app/version.h"
#include "app/widgets.h"
#include "ebay/accountstore.h"
#include "ebay/oauthclient.h"
#include "ebay/transport.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "platform/shell.h"

namespace {
const QStringList kMarketplaces = {"EBAY_DE", "EBAY_AT", "EBAY_CH", "EBAY_GB",
                                   "EBAY_US", "EBAY_FR", "EBAY_IT", "EBAY_ES"};

QLineEdit* field(QWidget* parent, const char* name, const QString& accessibleName) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setAccessibleName(accessibleName);
  return e;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}
}  // namespace

bool isEbayZugangOption(const QString& commandLine) {
  return commandLine.split(QLatin1Char(' '), Qt::SkipEmptyParts)
      .contains(QStringLiteral("--ebay-zugang"));
}

EbayZugang::EbayZugang(AppContext& ctx, QWidget* owner)
    : QDialog(owner),
      m_ctx(ctx),
      m_secrets(ctx.services.keyring, ctx.settings),
      m_transport(std::make_unique<ebay::Transport>()) {
  setObjectName(QStringLiteral("EbayZugang"));
  setWindowTitle(QStringLiteral("eBay-Zugang  -  ") + version::appTitle());
  buildControls();
  load();
}

EbayZugang::~EbayZugang() = default;

void EbayZugang::buildControls() {
  setFont(designFont(QStringLiteral("Microsoft Sans Serif"), 8.25));
  auto* layout = new QVBoxLayout(this);

  auto* keyset = new QFormLayout;
  Txt_AppId = field(this, "Txt_AppId", QStringLiteral("App ID"));
  Txt_CertId = field(this, "Txt_CertId", QStringLiteral("Cert ID"));
  Txt_CertId->setEchoMode(QLineEdit::Password);
  Txt_RuName = field(this, "Txt_RuName", QStringLiteral("RuName"));
  Cmb_Umgebung = new QComboBox(this);
  Cmb_Umgebung->setObjectName(QStringLiteral("Cmb_Umgebung"));
  Cmb_Umgebung->setAccessibleName(QStringLiteral("Umgebung"));
  Cmb_Umgebung->addItems({QStringLiteral("Sandbox"), QStringLiteral("Produktion")});
  Cmb_Marktplatz = new QComboBox(this);
  Cmb_Marktplatz->setObjectName(QStringLiteral("Cmb_Marktplatz"));
  Cmb_Marktplatz->setAccessibleName(QStringLiteral("Marktplatz"));
  Cmb_Marktplatz->setEditable(true);
  Cmb_Marktplatz->addItems(kMarketplaces);
  keyset->addRow(QStringLiteral("&App ID:"), Txt_AppId);
  keyset->addRow(QStringLiteral("&Cert ID:"), Txt_CertId);
  keyset->addRow(QStringLiteral("&RuName:"), Txt_RuName);
  keyset->addRow(QStringLiteral("&Umgebung:"), Cmb_Umgebung);
  keyset->addRow(QStringLiteral("&Marktplatz:"), Cmb_Marktplatz);
  layout->addLayout(keyset);

  auto* place = new QGroupBox(QStringLiteral("Cert ID und Anmeldung aufbewahren"), this);
  auto* placeLayout = new QVBoxLayout(place);
  Lbl_Schluesselbund = new QLabel(place);
  Lbl_Schluesselbund->setObjectName(QStringLiteral("Lbl_Schluesselbund"));
  Lbl_Schluesselbund->setWordWrap(true);
  Opt_Schluesselbund =
      new QRadioButton(QStringLiteral("im &Schlüsselbund der Arbeitsumgebung"), place);
  Opt_Schluesselbund->setObjectName(QStringLiteral("Opt_Schluesselbund"));
  Opt_Programmlauf = new QRadioButton(QStringLiteral("nur für diesen &Programmlauf"), place);
  Opt_Programmlauf->setObjectName(QStringLiteral("Opt_Programmlauf"));
  Opt_Datei = new QRadioButton(QStringLiteral("in einer &Datei, die nur ich lesen darf:"), place);
  Opt_Datei->setObjectName(QStringLiteral("Opt_Datei"));
  Txt_Datei = field(place, "Txt_Datei", QStringLiteral("Datei für Cert ID und Anmeldung"));
  placeLayout->addWidget(Lbl_Schluesselbund);
  placeLayout->addWidget(Opt_Schluesselbund);
  placeLayout->addWidget(Opt_Programmlauf);
  placeLayout->addWidget(Opt_Datei);
  placeLayout->addWidget(Txt_Datei);
  layout->addWidget(place);

  Lbl_Status = new QLabel(this);
  Lbl_Status->setObjectName(QStringLiteral("Lbl_Status"));
  Lbl_Status->setWordWrap(true);
  Lbl_Status->setAccessibleName(QStringLiteral("Anmeldestatus"));
  Lbl_Status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(Lbl_Status);

  auto* signIn = new QHBoxLayout;
  cmdAnmelden = button(this, "cmdAnmelden", QStringLiteral("A&nmelden"));
  cmdAbmelden = button(this, "cmdAbmelden", QStringLiteral("Abm&elden"));
  signIn->addWidget(cmdAnmelden);
  signIn->addWidget(cmdAbmelden);
  signIn->addStretch();
  layout->addLayout(signIn);

  auto* codeLabel = new QLabel(
      QStringLiteral("Adresse nach der Anmeldung im &Browser, oder nur der Code:"), this);
  Txt_Adresse = field(this, "Txt_Adresse", QStringLiteral("Adresse nach der Anmeldung oder Code"));
  codeLabel->setBuddy(Txt_Adresse);
  cmdUebernehmen = button(this, "cmdUebernehmen", QStringLiteral("&Übernehmen"));
  auto* code = new QHBoxLayout;
  code->addWidget(Txt_Adresse, 1);
  code->addWidget(cmdUebernehmen);
  layout->addWidget(codeLabel);
  layout->addLayout(code);

  auto* buttons = new QHBoxLayout;
  cmdOK = button(this, "cmdOK", QStringLiteral("OK"));
  cmdCancel = button(this, "cmdCancel", QStringLiteral("Abbrechen"));
  buttons->addStretch();
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);
  cmdOK->setDefault(true);  // Enter anywhere but in the address field

  QWidget* order[] = {
      Txt_AppId,          Txt_CertId,       Txt_RuName,     Cmb_Umgebung, Cmb_Marktplatz,
      Opt_Schluesselbund, Opt_Programmlauf, Opt_Datei,      Txt_Datei,    cmdAnmelden,
      cmdAbmelden,        Txt_Adresse,      cmdUebernehmen, cmdOK,        cmdCancel};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  Txt_Adresse->installEventFilter(this);

  connect(cmdAnmelden, &QPushButton::clicked, this, &EbayZugang::cmdAnmelden_Click);
  connect(cmdUebernehmen, &QPushButton::clicked, this, &EbayZugang::cmdUebernehmen_Click);
  connect(cmdAbmelden, &QPushButton::clicked, this, &EbayZugang::cmdAbmelden_Click);
  connect(cmdOK, &QPushButton::clicked, this, &EbayZugang::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Opt_Datei, &QRadioButton::toggled, Txt_Datei, &QWidget::setEnabled);
}

void EbayZugang::load() {
  ebay::Account& account = m_ctx.state.ebay;
  const bool keyring = m_secrets.keyringAnswers();
  if (!account.loaded) ebay::accountstore::load(account, m_ctx.settings, m_secrets);
  const ebay::Keyset& k = account.keyset;
  Txt_AppId->setText(k.appId);
  Txt_CertId->setText(k.certId);
  Txt_RuName->setText(k.ruName);
  Cmb_Umgebung->setCurrentIndex(k.environment == ebay::Environment::Production ? 1 : 0);
  Cmb_Marktplatz->setCurrentText(k.marketplace);

  Opt_Schluesselbund->setEnabled(keyring);
  Lbl_Schluesselbund->setText(
      keyring ? QStringLiteral("Der Schlüsselbund der Arbeitsumgebung ist erreichbar.")
              : QStringLiteral("Kein Schlüsselbund erreichbar") +
                    (m_secrets.keyringProblem().isEmpty()
                         ? QString()
                         : QStringLiteral(" (") + m_secrets.keyringProblem() + QLatin1Char(')')) +
                    QStringLiteral(". Cert ID und Anmeldung können nur für diesen Programmlauf "
                                   "gelten oder in einer Datei liegen, die nur Sie lesen dürfen."));
  QString path = m_secrets.filePath();
  if (path.isEmpty()) path = QDir::homePath() + QStringLiteral("/.gebotsfalkeplus-ebay");
  Txt_Datei->setText(path);
  switch (m_secrets.place()) {
    case ebay::SecretPlace::Keyring:
      (keyring ? Opt_Schluesselbund : Opt_Programmlauf)->setChecked(true);
      break;
    case ebay::SecretPlace::ThisRun:
      Opt_Programmlauf->setChecked(true);
      break;
    case ebay::SecretPlace::OwnerFile:
      Opt_Datei->setChecked(true);
      break;
  }
  Txt_Datei->setEnabled(Opt_Datei->isChecked());
  showState();
  (k.appId.isEmpty() ? static_cast<QWidget*>(Txt_AppId) : cmdAnmelden)->setFocus();
}

ebay::Keyset EbayZugang::keysetOfControls() const {
  ebay::Keyset k;
  k.appId = Txt_AppId->text().trimmed();
  k.certId = Txt_CertId->text().trimmed();
  k.ruName = Txt_RuName->text().trimmed();
  k.environment = Cmb_Umgebung->currentIndex() == 1 ? ebay::Environment::Production
                                                    : ebay::Environment::Sandbox;
  const QString marketplace = Cmb_Marktplatz->currentText().trimmed();
  k.marketplace = marketplace.isEmpty() ? ebay::kDefaultMarketplace : marketplace;
  return k;
}

bool EbayZugang::applyControls() {
  ebay::Account& account = m_ctx.state.ebay;
  const ebay::SecretPlace place = Opt_Schluesselbund->isChecked() ? ebay::SecretPlace::Keyring
                                  : Opt_Datei->isChecked()        ? ebay::SecretPlace::OwnerFile
                                                                  : ebay::SecretPlace::ThisRun;
  const QString path = Txt_Datei->text().trimmed();
  if (place == ebay::SecretPlace::OwnerFile && path.isEmpty()) {
    showState(QStringLiteral("Bitte die Datei für Cert ID und Anmeldung angeben."));
    Txt_Datei->setFocus();
    return false;
  }
  if (place != m_secrets.place() ||
      (place == ebay::SecretPlace::OwnerFile && path != m_secrets.filePath())) {
    QHash<QString, QString> carry{{ebay::kCertIdName, account.keyset.certId}};
    if (account.signedIn(m_ctx.services.clock.localMs()))
      carry.insert(ebay::kRefreshTokenName, account.refreshToken.value);
    if (!m_secrets.choose(place, path, carry)) {
      showState(QStringLiteral("Cert ID und Anmeldung konnten dort nicht aufbewahrt werden: ") +
                m_secrets.problem());
      return false;
    }
  }
  QString problem;
  if (!ebay::accountstore::saveKeyset(account, keysetOfControls(), m_ctx.settings, m_secrets,
                                      &problem)) {
    showState(QStringLiteral("Die Cert ID konnte nicht aufbewahrt werden: ") + problem);
    return false;
  }
  return true;
}

void EbayZugang::showState(const QString& text) {
  Lbl_Status->setText(
      text.isEmpty() ? ebay::signInText(m_ctx.state.ebay, m_ctx.services.clock.localMs()) : text);
  cmdAbmelden->setEnabled(!m_busy && m_ctx.state.ebay.signedIn(m_ctx.services.clock.localMs()));
}

void EbayZugang::setBusy(bool busy) {
  m_busy = busy;
  for (QWidget* w : {static_cast<QWidget*>(cmdAnmelden), static_cast<QWidget*>(cmdUebernehmen),
                     static_cast<QWidget*>(cmdOK)})
    w->setEnabled(!busy);
  cmdAbmelden->setEnabled(!busy);
}

void EbayZugang::cmdAnmelden_Click() {
  const ebay::Keyset k = keysetOfControls();
  if (!k.complete()) {
    showState(
        QStringLiteral("Bitte App ID, Cert ID und RuName des eigenen eBay-Keysets "
                       "eintragen."));
    (k.appId.isEmpty() ? Txt_AppId : k.certId.isEmpty() ? Txt_CertId : Txt_RuName)->setFocus();
    return;
  }
  if (!applyControls()) return;
  const QUrl page = oauth().consentPage();
  if (!m_ctx.services.shell.openUrl(page.toString(QUrl::FullyEncoded))) {
    showState(QStringLiteral("Der Browser ließ sich nicht öffnen. Bitte diese Adresse im Browser "
                             "aufrufen: ") +
              page.toString(QUrl::FullyEncoded));
  } else {
    showState(
        QStringLiteral("Bitte im Browser bei eBay anmelden und zustimmen. Danach die "
                       "Adresse, bei der der Browser angekommen ist, unten einfügen (oder "
                       "nur den Code) und „Übernehmen“ wählen."));
  }
  Txt_Adresse->clear();
  Txt_Adresse->setFocus();
}

void EbayZugang::cmdUebernehmen_Click() {
  if (m_busy) return;
  if (!m_ctx.state.ebay.keyset.complete()) {
    showState(QStringLiteral("Bitte zuerst das Keyset eintragen und „Anmelden“ wählen."));
    cmdAnmelden->setFocus();
    return;
  }
  setBusy(true);
  showState(QStringLiteral("Anmeldung wird bei eBay geprüft …"));
  oauth().completeSignIn(Txt_Adresse->text(), this, [this](bool ok, const QString& failure) {
    setBusy(false);
    if (!ok) {
      showState(QStringLiteral("Anmeldung fehlgeschlagen: ") + failure);
      Txt_Adresse->setFocus();
      return;
    }
    Txt_Adresse->clear();
    QString problem;
    if (!ebay::accountstore::saveSignIn(m_ctx.state.ebay, m_ctx.settings, m_secrets, &problem)) {
      showState(ebay::signInText(m_ctx.state.ebay, m_ctx.services.clock.localMs()) +
                QStringLiteral(" (nur für diesen Programmlauf: die Anmeldung konnte nicht "
                               "aufbewahrt werden, ") +
                problem + QLatin1Char(')'));
    } else {
      showState();
    }
    cmdOK->setFocus();
  });
}

ebay::OAuthClient& EbayZugang::oauth() {
  // The hosts of the keyset's environment, as they were when it was last kept.
  const ebay::Keyset& k = m_ctx.state.ebay.keyset;
  m_oauth = std::make_unique<ebay::OAuthClient>(
      m_ctx.state.ebay, ebay::hostsFor(k.environment, m_ctx.state.endpoints), m_ctx.services.clock,
      *m_transport);
  return *m_oauth;
}

void EbayZugang::cmdAbmelden_Click() {
  ebay::accountstore::signOut(m_ctx.state.ebay, m_ctx.settings, m_secrets);
  showState();
  cmdAnmelden->setFocus();
}

void EbayZugang::cmdOK_Click() {
  if (m_busy) return;
  if (applyControls()) accept();
}

bool EbayZugang::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Txt_Adresse && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      cmdUebernehmen_Click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
