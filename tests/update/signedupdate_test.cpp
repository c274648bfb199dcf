// The update takes only what the vendor signed, whole: every way a release can be forged,
// unsigned, broken on the way or unfit for the program folder, against the simulator's vendor
// routes.
#include <gtest/gtest.h>

#include <QProcess>

#include "bidding/inet.h"

#include "releasesigning.h"
#include "update/updaterun.h"

using namespace updatetest;

namespace {
const QByteArray kList = "a.txt\r\nb.txt\r\ndoupdate.exe";
const QStringList kSigned = {"manifest", "manifest.sig"};
const QStringList kAllFiles = kSigned + QStringList{"a.txt", "b.txt", "doupdate.exe"};
const QStringList kUpToB = kAllFiles.mid(0, 4);
const char* const kBadSignature =
    "Die Signatur (manifest.sig) ist ungültig oder stammt nicht vom Hersteller.";
const char* const kTooLong =
    "Die Datei „b.txt“ ist größer als in der Prüfliste (manifest) angegeben.";
const char* const kCut = "Die Datei „b.txt“ kam nicht vollständig an (1500 von 3000 Bytes).";

enum class Given {
  None,
  UntrustedKey,    // the program trusts another key than the simulator's
  ToolSigned,      // the vendor tool signed the folder (signedList), the program trusts it
  FolderInTheWay,  // the program folder holds a folder named b.txt
  DiskFull,        // b.txt is written where every write finds the disk full (/dev/full)
};
enum Outcome { kHandedOver, kNotLoaded, kNotVerified, kNotInstalled };

QString run(const QString& program, const QStringList& arguments) {
  QProcess p;
  p.start(program, arguments);
  if (!p.waitForFinished(20000) || p.exitCode() != 0)
    ADD_FAILURE() << program.toStdString() << " " << p.readAllStandardError().toStdString();
  return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

// Signs the vendor folder with the vendor tool for `signedList` as `version`, then serves
// `list`; returns the tool's public key.
QByteArray signWithVendorTool(UpdateRun& r, const QByteArray& signedList, const QByteArray& list,
                              const QString& version) {
  const QString key = r.env.dir.path() + "/vendor.key";
  const QString publicKey = run(GF_VENDORSIGN_EXECUTABLE, {"keygen", key});
  r.vendorFile("filelist", signedList);
  run(GF_VENDORSIGN_EXECUTABLE, {"sign", key, r.vendor.path(), "--version", version});
  r.vendorFile("filelist", list);
  return QByteArray::fromBase64(publicKey.toLatin1());
}
}  // namespace

TEST(SignedUpdate, nothingIsPutInPlaceOrStartedUnlessTheVendorSignedItAndItArrivedWhole) {
  const struct {
    const char* what;
    QByteArray list;
    std::map<std::string, std::string> faults;
    Given given;
    Outcome outcome;
    const char* detail;
    QStringList fetched;  // after the file list
    QByteArray signedList = kList;
    const char* signedVersion = "1.3.7";  // by the vendor tool; the offer is 1.03.0007
    int silenceMs = FrmUpdate::kSilenceMs;
  } cases[] = {
      // clang-format off
      // Forged or unsigned.
      {"a forged installer and a manifest made for it", kList, {{"doupdate.exe", "forge"}},
       Given::None, kNotVerified, kBadSignature, kSigned},
      {"signed with a key the program does not trust", kList, {}, Given::UntrustedKey,
       kNotVerified, kBadSignature, kSigned},
      {"the manifest changed after signing", kList, {{"manifest", "flip"}}, Given::None,
       kNotVerified, kBadSignature, kSigned},
      {"no manifest", kList, {{"manifest", "missing"}}, Given::None, kNotVerified,
       "Die Prüfliste (manifest) fehlt auf dem Server.", {"manifest"}},
      {"no signature", kList, {{"manifest.sig", "missing"}}, Given::None, kNotVerified,
       "Die Signatur (manifest.sig) fehlt auf dem Server.", kSigned},
      {"a listed name the vendor did not sign", "a.txt\r\nb.txt\r\nc.txt\r\ndoupdate.exe", {},
       Given::None, kNotVerified, "„c.txt“ fehlt in der Prüfliste (manifest) des Herstellers.",
       kSigned},
      {"a list that leaves out a signed file", "a.txt\r\ndoupdate.exe", {}, Given::ToolSigned,
       kNotVerified, "Die Dateiliste lässt „b.txt“ aus der Prüfliste (manifest) aus.", kSigned},
      {"an older release, signed by the vendor, offered again", kList, {}, Given::ToolSigned,
       kNotVerified, "Die signierte Version 1.3.5 ist nicht die angebotene Version 1.03.0007.",
       kSigned, kList, "1.3.5"},
      // A file other than signed.
      {"a file whose hash does not match", kList, {{"b.txt", "flip"}}, Given::None, kNotVerified,
       "Die Datei „b.txt“ stimmt nicht mit der Prüfliste (manifest) überein.", kUpToB},
      {"Content-Length 3 GiB", kList, {{"b.txt", "huge"}}, Given::None, kNotVerified, kTooLong,
       kUpToB},
      {"more than signed, chunked", kList, {{"b.txt", "chunked-long"}}, Given::None, kNotVerified,
       kTooLong, kUpToB},
      // The listed names are checked before anything else is fetched (every rule: the table of
      // checkListedNames).
      {"endpoints.ini", "a.txt\r\nendpoints.ini\r\ndoupdate.exe", {}, Given::None, kNotVerified,
       "„endpoints.ini“ darf durch ein Update nicht ersetzt werden.", {}},
      // Broken on the way.
      {"a cut transfer", kList, {{"b.txt", "cut"}}, Given::None, kNotLoaded, kCut, kUpToB},
      {"a cut chunked transfer", kList, {{"b.txt", "chunked-cut"}}, Given::None, kNotLoaded, kCut,
       kUpToB},
      {"a file the server lacks", kList, {{"b.txt", "missing"}}, Given::None, kNotLoaded,
       "Die Datei „b.txt“ kam nicht an: Der Server antwortete mit 404.", kUpToB},
      // A minute of silence, shortened here.
      {"a file that stops coming", kList, {{"b.txt", "stall"}}, Given::None, kNotLoaded,
       "Die Datei „b.txt“ kam nicht vollständig an: Der Server sendete 2 Sekunden lang nichts.",
       kUpToB, kList, "1.3.7", 2000},
      {"an endless file list", kList, {{"filelist", "huge"}}, Given::None, kNotLoaded,
       "Die Dateiliste ist länger als erlaubt.", {}},
      // Verified, but the second file cannot be put in place: the first goes back.
      {"a folder in the way", kList, {}, Given::FolderInTheWay, kNotInstalled,
       "„b.txt“ konnte nicht ersetzt werden: Dort liegt ein Ordner.", kAllFiles},
      {"a full disk", kList, {}, Given::DiskFull, kNotInstalled,
       "Die Datei „b.txt“ konnte nicht gespeichert werden: Datenträger voll.", kUpToB},
      // Whole and signed, however it travels.
      {"chunked", kList, {{"b.txt", "chunked"}}, Given::None, kHandedOver, "", kAllFiles},
      {"without Content-Length", kList, {{"b.txt", "no-length"}}, Given::None, kHandedOver, "",
       kAllFiles},
      {"signed by the vendor tool", kList, {}, Given::ToolSigned, kHandedOver, "", kAllFiles},
      // clang-format on
  };
  const char* const headlines[] = {"", "Das Update konnte nicht geladen werden.",
                                   "Das Update konnte nicht verifiziert werden.",
                                   "Das Update konnte nicht installiert werden."};
  const char* const logPrefixes[] = {"", "Update: Download unvollständig. ",
                                     "Update: Download nicht verifiziert. ",
                                     "Update: Dateien nicht eingesetzt. "};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Config config;
    config.vendorFaults = c.faults;
    UpdateRun r(config);
    if (c.given == Given::UntrustedKey)
      r.env.state.endpoints.vendorKey =
          QByteArray::fromStdString(vendorsign::makeKeyPair().publicKey);
    if (c.given == Given::ToolSigned)
      r.env.state.endpoints.vendorKey =
          signWithVendorTool(r, c.signedList, c.list, c.signedVersion);
    else
      r.vendorFile("filelist", c.list);
    // The program folder holds the previous version of every file, and update.dat of an
    // earlier download.
    for (const char* name : {"a.txt", "b.txt", "doupdate.exe", "update.dat"})
      writeFile(r.programFile(name), QByteArray("old ") + name);
    if (c.given == Given::FolderInTheWay) {
      QFile::remove(r.programFile("b.txt"));
      ASSERT_TRUE(QDir().mkpath(r.programFile("b.txt") + "/inside"));
    }
    const QStringList before = snapshot(r.env.programFolder(), {"gebotsfalke.log"});

    bool progressShown = true;
    const auto during = [&](FrmUpdate& w) {
      w.setSilenceLimitMs(c.silenceMs);
      if (c.given != Given::DiskFull) return;
      QObject::connect(w.Inet2, &Inet::StateChanged, &w, [&r, &w](int state) {
        if (state != Inet::kReceivingResponse || !w.Inet2->URL.endsWith("/b.txt")) return;
        const QStringList staging =
            QDir(r.env.programFolder())
                .entryList({".gebotsfalkeplus-update-*"}, QDir::Dirs | QDir::Hidden);
        ASSERT_EQ(staging.size(), 1);
        QFile::link("/dev/full", r.programFile(staging[0] + "/new/b.txt"));
      });
    };
    r.click(during, [&](FrmUpdate& w) { progressShown = !w.LblProgress->isHidden(); });

    // A body that ends with its connection is now and then asked for twice in a row: Qt's
    // network access sends the request again on its own when the server closes.
    QStringList requested = r.requested();
    for (qsizetype i = requested.size() - 1; i > 0; --i)
      if (requested[i] == requested[i - 1]) requested.removeAt(i);
    EXPECT_EQ(requested, QStringList{"filelist"} + c.fetched);
    if (c.outcome == kHandedOver) {
      EXPECT_EQ(r.env.processes.started, QStringList{r.programFile("doupdate.exe")});
      for (const char* name : {"a.txt", "b.txt", "doupdate.exe"})
        EXPECT_EQ(readAll(r.programFile(name)), readAll(r.vendor.path() + "/" + name)) << name;
      EXPECT_FALSE(QFileInfo::exists(r.programFile("update.dat")));  // not of this update
      EXPECT_TRUE(QFileInfo(r.programFile("doupdate.exe")).isExecutable());
      EXPECT_EQ(r.env.logMessages().last(), "Update: Fertig");
      continue;
    }
    // Said in the window, which offers the download again; the log keeps the cause.
    EXPECT_EQ(r.shown, QString::fromUtf8(headlines[c.outcome]) + "\r\n" +
                           QString::fromUtf8(c.detail) + "\r\nEs wurde keine Datei verändert.");
    EXPECT_EQ(r.afterClick, std::make_pair(false, false));  // button shown, spinner stopped
    EXPECT_FALSE(progressShown);
    EXPECT_EQ(r.env.logMessages().last(),
              QString::fromUtf8(logPrefixes[c.outcome]) + QString::fromUtf8(c.detail));
    // Nothing started, no file of the program folder changed, nothing left behind.
    r.expectNoHandOver();
    EXPECT_EQ(snapshot(r.env.programFolder(), {"gebotsfalke.log"}), before);
    EXPECT_TRUE(r.env.dialogs.errors.isEmpty());
  }
}

// After a failure the window offers the download again: Enter tries once more.
TEST(SignedUpdate, aFailedUpdateCanBeTriedAgainFromTheWindow) {
  sim::Config config;
  config.vendorFaults = {{"b.txt", "cut"}};
  UpdateRun r(config);
  r.pressEnter = true;
  r.click({}, [&](FrmUpdate& w) {
    EXPECT_TRUE(r.env.processes.started.isEmpty());
    r.setVendorFaults({});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(w.Label1->text(), "GebotsfalkePlus wird nun neu gestartet...");
  });
  EXPECT_EQ(r.env.processes.started, QStringList{r.programFile("doupdate.exe")});
  EXPECT_EQ(readAll(r.programFile("b.txt")), binary(3000));
  EXPECT_EQ(r.env.state.AvailableVersion, QString());
}

// endpoints.ini names the one further key an update may be signed with; a value that is no
// such key is ignored and reported, and only the vendor's own key is trusted.
TEST(SignedUpdate, endpointsNameOneFurtherKeyOrNone) {
  const QByteArray key = QByteArray::fromStdString(vendorsign::makeKeyPair().publicKey);
  const struct {
    QByteArray line;
    QByteArray trusted;
    bool reported;
  } cases[] = {{"VendorKey=" + key.toBase64(), key, false},
               {"VendorKey= " + key.toBase64() + " ", key, false},
               {"VendorKey=" + key.left(31).toBase64(), {}, true},
               {"VendorKey=kein Schlüssel", {}, true},
               {"", {}, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.toStdString());
    TestEnv env;
    writeFile(env.programFolder() + "/endpoints.ini", "[Endpoints]\n" + c.line + "\n");
    QStringList problems;
    const Endpoints e = Endpoints::load(env.programFolder(), &problems);
    EXPECT_EQ(e.vendorKey, c.trusted);
    EXPECT_EQ(problems.size(), c.reported ? 1 : 0);
  }
}
