// The eBay-Zugang dialog signs in through the simulator's consent page as a user with a browser
// would, and the refresh token and Cert ID end up where the user chose: in the keyring (a fake
// one, and a real Secret Service on a private bus), for this run only, or in an owner-only
// file; never in the settings or anything else the program writes.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrlQuery>

#include "app/savedpassword.h"
#include "app/scramble.h"
#include "ebay/secrets.h"
#include "ebaysite.h"
#include "options/ebayzugang.h"
#include "platform/linux/qtkeyring.h"
#include "support/privatebus.h"
#include "support/simserver.h"
#include "support/testenv.h"
#include "support/texts.h"

namespace {
// Types the keyset, chooses "Anmelden", agrees in the "browser", pastes the address it ends at
// (or `pasted` instead) and presses Enter; the dialog's verdict.
QString signIn(EbayZugang& d, TestEnv& env, QString* pasted = nullptr) {
  d.Txt_AppId->setText(kApp);
  d.Txt_CertId->setText(kCert);
  d.Txt_RuName->setText(kRuName);
  QTest::mouseClick(d.cmdAnmelden, Qt::LeftButton);
  if (env.shell.urls.isEmpty()) return "no browser opened";
  const QString address = agree(env.shell.urls.last());
  QTest::keyClicks(d.Txt_Adresse, pasted ? *pasted : address);
  QTest::keyClick(d.Txt_Adresse, Qt::Key_Return);
  if (!QTest::qWaitFor([&] { return !d.Lbl_Status->text().startsWith("Anmeldung wird"); }, 10000))
    return "no verdict";
  return d.Lbl_Status->text();
}

void expectNoSecretInFiles(TestEnv& env) {
  EXPECT_FALSE(env.state.ebay.refreshToken.value.isEmpty());
  EXPECT_EQ(filesHolding(env, env.state.ebay.refreshToken.value), QStringList());
  EXPECT_EQ(filesHolding(env, kCert), QStringList());
  EXPECT_EQ(env.setting("EbayAppId"), kApp);
}
}  // namespace

TEST(EbayZugang, signsInThroughTheConsentPageAndKeepsTheSecretsInTheKeyring) {
  SimServer site(ebaySite());
  TestEnv env;
  env.state.endpoints = site.endpoints();
  env.keyring.available = true;
  EbayZugang d(*env.ctx, nullptr);
  d.show();
  EXPECT_TRUE(d.Opt_Schluesselbund->isChecked());

  QString elsewhere = "https://example.com/accept?state=nicht-diese&code=abc";
  EXPECT_EQ(signIn(d, env, &elsewhere),
            "Anmeldung fehlgeschlagen: Die Adresse gehört nicht zu dieser Anmeldung. Bitte "
            "„Anmelden“ noch einmal wählen.");
  EXPECT_TRUE(signIn(d, env).startsWith("Angemeldet, gültig bis "))
      << d.Lbl_Status->text().toStdString();
  EXPECT_EQ(env.keyring.secrets.value(ebay::kRefreshTokenName), env.state.ebay.refreshToken.value);
  EXPECT_EQ(env.keyring.secrets.value(ebay::kCertIdName), kCert);
  expectNoSecretInFiles(env);

  QTest::mouseClick(d.cmdAbmelden, Qt::LeftButton);
  EXPECT_EQ(d.Lbl_Status->text(), "Nicht angemeldet");
  EXPECT_FALSE(env.keyring.secrets.contains(ebay::kRefreshTokenName));
}

TEST(EbayZugang, withoutAKeyringTheSecretsStayForThisRunOrGoToAFileChosenKnowingly) {
  SimServer site(ebaySite());
  TestEnv env;
  env.state.endpoints = site.endpoints();
  EbayZugang d(*env.ctx, nullptr);
  d.show();
  EXPECT_TRUE(d.Lbl_Schluesselbund->text().startsWith("Kein Schlüsselbund erreichbar"));
  EXPECT_FALSE(d.Opt_Schluesselbund->isEnabled());
  EXPECT_TRUE(d.Opt_Programmlauf->isChecked());
  EXPECT_TRUE(signIn(d, env).startsWith("Angemeldet, gültig bis "));
  expectNoSecretInFiles(env);

  const QString file = env.dir.path() + "/geheim.json";
  d.Opt_Datei->setChecked(true);
  d.Txt_Datei->setText(file);
  QTest::keyClick(d.Txt_AppId, Qt::Key_Return);  // Enter confirms
  EXPECT_EQ(d.result(), QDialog::Accepted);
  QFile kept(file);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
  const QByteArray content = kept.readAll();
  EXPECT_TRUE(content.contains(env.state.ebay.refreshToken.value.toUtf8()));
  EXPECT_TRUE(content.contains(kCert.toUtf8()));

  // The next run finds its sign-in there.
  TestEnv next;
  next.setSetting("EbayAppId", env.setting("EbayAppId"));
  for (const char* key :
       {"EbayRuName", "EbayGeheimnisse", "EbayGeheimnisDatei", "EbayAnmeldungBis"})
    next.setSetting(key, env.setting(key));
  EbayZugang again(*next.ctx, nullptr);
  EXPECT_TRUE(again.Lbl_Status->text().startsWith("Angemeldet, gültig bis "));
  EXPECT_EQ(again.Txt_CertId->text(), kCert);
}

// A real Secret Service (gnome-keyring-daemon, unlocked) on a private session bus: the sign-in
// and the classic route's saved password land there and nowhere in the program's files.
TEST(EbayKeyring, aRealSecretServiceKeepsTheSignInAndTheSavedPassword) {
  TestEnv env;
  const QString runtime = env.dir.path() + "/run";
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  PrivateBus bus;
  ASSERT_TRUE(bus.ok()) << "dbus-daemon could not be started";
  QProcess keyringDaemon;
  QProcessEnvironment daemonEnv = QProcessEnvironment::systemEnvironment();
  daemonEnv.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
  daemonEnv.insert("XDG_DATA_HOME", env.dir.path() + "/data");
  daemonEnv.insert("XDG_RUNTIME_DIR", runtime);
  keyringDaemon.setProcessEnvironment(daemonEnv);
  keyringDaemon.start("gnome-keyring-daemon", {"--foreground", "--components=secrets", "--unlock"});
  if (!keyringDaemon.waitForStarted(5000)) GTEST_SKIP() << "gnome-keyring-daemon is not installed";
  keyringDaemon.write("schluessel");
  keyringDaemon.closeWriteChannel();
  const QDBusConnection watcher = bus.connect("watcher");
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return watcher.interface()->isServiceRegistered("org.freedesktop.secrets").value(); },
      10000));
  // The program's keyring talks to the session bus it finds in its environment.
  qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
  QtKeyring keyring;
  Services real{env.clock,          env.systemClock, env.windowList, env.sound,
                env.shell,          env.dialogs,     env.processes,  env.programInfo,
                env.sleepInhibitor, env.notifier,    env.clipboard,  keyring};
  AppContext ctx{env.state, real, *env.settings, env.inet1};

  env.setSetting("pass", cryptme("Pa$$wort", env.state.passwordKey));
  EXPECT_EQ(savedpassword::read(ctx), "Pa$$wort");
  EXPECT_EQ(env.setting("pass"), "");
  EXPECT_EQ(keyring.read(savedpassword::kKeyringName).secret, "Pa$$wort");

  SimServer site(ebaySite());
  env.state.endpoints = site.endpoints();
  EbayZugang d(ctx, nullptr);
  d.show();
  EXPECT_TRUE(d.Opt_Schluesselbund->isChecked());
  EXPECT_TRUE(signIn(d, env).startsWith("Angemeldet, gültig bis "));
  EXPECT_EQ(keyring.read(ebay::kRefreshTokenName).secret, env.state.ebay.refreshToken.value);
  expectNoSecretInFiles(env);
  EXPECT_EQ(filesHolding(env, "Pa$$wort"), QStringList());
  keyringDaemon.terminate();
  keyringDaemon.waitForFinished(5000);
}
