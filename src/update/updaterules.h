#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

#include "app/vberror.h"
#include "platform/processes.h"

// The rules of the update download that need no window: texts, the file list, file names and
// the progress display.
namespace updaterules {

// Status texts of the update window.
inline const QString kLoadingList = QStringLiteral("Dateiliste wird geladen...");
inline const QString kRestarting = QStringLiteral("GebotsfalkePlus wird nun neu gestartet...");
inline const QString kOtherInstances =
    QStringLiteral("Bitte beenden Sie zunächst die übrigen Instanzen von GebotsfalkePlus");

// Log lines.
inline const QString kLogStarted = QStringLiteral("Update: Download gestartet.");
inline const QString kLogIncomplete = QStringLiteral("Update: Download unvollständig.");
inline const QString kLogFinished = QStringLiteral("Update: Download beendet.");
inline const QString kLogInstallerCalled = QStringLiteral("Update: update.exe aufgerufen.");
inline const QString kLogDone = QStringLiteral("Update: Fertig");

// Names in the program folder.
inline const QString kNewProgram = QStringLiteral("update.dat");
inline const QString kInstaller = QStringLiteral("doupdate.exe");

// Why an update stopped. The window shows it, with what it means for the user, and the log
// keeps it; the offered version stays on offer.
struct UpdateFailure {
  enum Kind {
    NotLoaded,     // a transfer failed: no answer, an error status, a file cut short
    NotVerified,   // the release is not the vendor's as signed, or unfit to be put in place
    NotInstalled,  // the verified files could not be stored or put in place
    Closed,        // the user closed the window
  };
  Kind kind = NotLoaded;
  QString detail;              // one German sentence naming the cause
  bool filesUnchanged = true;  // false only when putting the files back failed as well

  static UpdateFailure closed() { return UpdateFailure{Closed, QString()}; }
};
// Label1 after a failure: what failed, the cause, and that no file was changed.
QString failureText(const UpdateFailure& failure);
QString failureLogLine(const UpdateFailure& failure);
// A file name as the window quotes it: „name“, long ones shortened with "…".
QString quotedName(const QString& name);
// What an update fetches: the file list, the manifest or its signature, a listed file.
enum class UpdatePart { FileList, Signature, File };
// What went wrong with a transfer, from its status (0: no answer) and whether it was dropped
// for bringing more than allowed; nothing for a 200. `what` names the file as a sentence's
// subject ("Die Dateiliste"). A manifest or signature the server does not have, and a file
// longer than signed, mean that the update cannot be verified.
std::optional<UpdateFailure> transferFailure(int status, bool tooLong, const QString& what,
                                             UpdatePart part);

// A transfer given up after silenceMs without a byte: the file stopped coming.
UpdateFailure silentTransfer(const QString& what, int silenceMs);

// The header text of every update request (lines ended by CR LF).
QString requestHeaders(const QString& versionText, const QString& installTag);

// "Installierte Version: 1.3.6" CR LF "Verfügbare Version: " + the offered version.
QString versionCaption(const QString& installed, const QString& available);

// "Datei 2 von 3 des Updates wird geladen..."
QString fileCaption(int number, int count);

// The listed names: the body split at every CR LF; every piece counts, an empty one too.
QStringList splitFileList(const QString& body);

// A listed name may only name a file directly inside the program folder: not empty, not "."
// or "..", no "/" or "\", no ".." anywhere and no control character.
bool isSafeFileName(const QString& name);

// The request path of a listed name: "/files/" and the name's Windows-1252 codes,
// percent-encoded where a URL path needs it (a blank, "%", "#", "?", every code from 128), as
// every URL the program builds; "Änderungen.txt" goes as "/files/%C4nderungen.txt".
QString requestPath(const QString& name);

// The file a listed name is stored as: the main program ("gebotsfalkeplus.exe" in any case)
// arrives as "update.dat", every other file under its own name.
QString targetFileName(const QString& name);

// Said by "Online Update jetzt starten", before anything is downloaded, when the folder of the
// running executable takes no new file: the update could not replace the program.
QString readOnlyProgramText(const QString& executableFolder);

// The run-time error for an installer that did not start, naming the cause.
VbError installerStartError(const StartResult& result);

// The program folder with its closing separator ("/" stays as it is).
QString folderWithSeparator(const QString& folder);

// 100 × received ÷ length rounded to a whole number, an exact half to the even neighbour; the
// length is the file's size in the signed manifest, so nothing beyond it arrives. An empty
// file is complete at once: 100.
qint16 percentage(qint64 received, qint64 length);
// The percentage as LblProgress shows it during a transfer: "37 %".
QString percentText(qint64 received, qint64 length);

// The spinner's next character: I / - \ and round again; any other character stays.
QString nextSpinner(const QString& current);

}  // namespace updaterules
