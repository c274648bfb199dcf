#pragma once

#include <QString>
#include <QtGlobal>

#include "app/regional.h"
#include "bidding/bidlimits.h"
#include "bidding/endpoints.h"
#include "bidding/formreader.h"
#include "ebay/account.h"

// The program's shared values, owned by main() and handed to every window and procedure.
// Tests build a fresh one.
struct AppState {
  // Item record (filled by the browser scan, saved at shutdown).
  QString ItemID;
  QString AuktionTitel;
  QString wholeTitle;  // the title uncut (AuktionTitel is cut at 38 characters); not saved
  double endet = 0;    // day serial in local time, whole seconds; 0 = no item

  // Working values of the settings.
  qint16 msgonsync = 0;
  qint16 synconstart = 0;
  qint16 warnton = 0;
  qint16 saveuser = 0;
  QString user;
  QString pass;  // plain text
  QString sectobid;
  QString AvailableVersion;

  // Arming and the bid.
  bool armed = false;
  float maxBid = 0;  // not persisted
  QString bidResultText;
  // How long the bid's transfers may take against the auction's end.
  bidlimits::Rules bidLimits;
  // A bid sequence runs: the transaction and what follows it up to the sequence's end (the
  // tones, Ctrl+F9's result box, the pause until the auction's end). No second one may start
  // (countdown trigger and Ctrl+F9 both check), and nothing arms meanwhile.
  bool bidBusy = false;
  // The bid group the item belongs to (empty: none); every log line names it.
  QString group;

  // Transfers and clock synchronisation.
  QString ResponseText;
  bool SyncTimeMarkPending = false;
  double SyncTimeMark = 0;  // time of day only (date part zero)
  QString SyncMessage;
  // When the auction site's clock was last measured (the program's clock, ms since 30.12.1899;
  // 0: not in this run), and whether a measurement runs now.
  qint64 siteTimeMeasuredMs = 0;
  bool siteTimeMeasuring = false;

  // Identification sent to the vendor server.
  QString VersionText;
  QString InstallTag;

  // Start-up values.
  QString commandLine;
  quint32 taskWindowStyleMask = 0;
  qint16 instanceCount = 0;
  qint32 clockLabelOffset = 0;  // twips the countdown label is lifted above its panel's centre
  QString passwordKey;
  QString helpFile;
  QString lastFailingProcedure;
  // The user has been told which log file could not be written and why.
  bool logWriteFailureTold = false;
  // The user has been told that the saved item cannot be read.
  bool savedItemUnreadableTold = false;
  // The main window is closing: waits stop early so that the program can end.
  bool closing = false;

  // Update download.
  QString DownloadTarget;
  qint32 DownloadLength = 0;
  bool UpdateCancelled = false;

  // The form of the bid confirmation page, read by the bid transaction's second step.
  FormReader formReader;

  // Where the auction site and the vendor server are reached.
  Endpoints endpoints;

  // The user's eBay keyset and sign-in; the access tokens live only here.
  ebay::Account ebay;

  // How texts, numbers and dates are read and written (the user's regional settings).
  RegionalFormat region = RegionalFormat::german();
};
