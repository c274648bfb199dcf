// Start-up and shutdown of the main window.
#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "app/logfile.h"
#include "app/placement.h"
#include "app/savedpassword.h"
#include "app/settings.h"
#include "app/version.h"
#include "bidding/inet.h"
#include "capture/itemfetch.h"
#include "capture/titlerules.h"
#include "capture/windowscan.h"
#include "platform/clock.h"
#include "platform/programinfo.h"
#include "platform/services.h"
#include "platform/sleepinhibitor.h"
#include "sniper/form1.h"

using settingskeys::kApp;
using settingskeys::kSection;

void Form1::Form1init() {
  AppContext& c = ctx();
  AppState& st = c.state;
  trap(c, "Form1init", [&] {
    st.VersionText = version::full();
    st.taskWindowStyleMask = 0x10800000;
    Shape1->setFillColor(QColor(244, 255, 247));
    Shape2->setFillColor(QColor(255, 255, 232));
    Shape3->setFillColor(QColor(255, 244, 244));
    setCaption(version::mainCaption());
    LblBieten->hide();
    st.clockLabelOffset = 200;

    // A stored number that cannot be read costs only its own setting: its default holds, one
    // error box names it, and the settings after it are read all the same.
    auto readInt16 = [&](const char* key, qint16 defaultValue) -> qint16 {
      const QString name = QString::fromLatin1(key);
      const QString text = c.settings.GetSetting(kApp, kSection, name, defaultValue);
      try {
        return regional::toInt16(text, st.region);
      } catch (const VbError& e) {
        showErrorBox(c, QStringLiteral("Form1init"),
                     VbError(e.number(), e.description() + QStringLiteral(" (Einstellung '") +
                                             name + QStringLiteral("', es gilt der Standardwert ") +
                                             QString::number(defaultValue) + QChar(')')));
        return defaultValue;
      }
    };
    st.msgonsync = readInt16("msgonsync", 1);
    st.synconstart = readInt16("synconstart", 0);
    st.warnton = readInt16("warnton", 1);
    st.AvailableVersion = c.settings.GetSetting(kApp, kSection, QStringLiteral("Update"));
    st.saveuser = readInt16("saveuser", 1);
    st.user = c.settings.GetSetting(kApp, kSection, QStringLiteral("user"));
    st.pass = savedpassword::read(c);
    st.sectobid = c.settings.GetSetting(kApp, kSection, QStringLiteral("sectobid"), 10);
    m_ebayRoute.load();

    if (!offersUpdate()) {
      Lbl_update->hide();
    } else {
      setCustomPointer(Lbl_update, true);
      Lbl_update->show();
    }
    const bool savedItemAsked = titlerules::isSavedItemOption(st.commandLine);
    Finde_Alle_Fenster(c, *this);
    takeOverClipboardItemAtStart(savedItemAsked);
    GetFormSettings(c, *this, kApp, kSection, true);
    Update_Label();
  });
}

void Form1::Form_Unload() {
  AppContext& c = ctx();
  AppState& st = c.state;
  trap(c, "Form_Unload", [&] {
    // Waits still running (a pause until the auction's end) give up, so the program can end.
    st.closing = true;
    c.inet1.Cancel();
    m_itemPageFetch->cancel();
    SaveFormSettings(c, *this, kApp, kSection);
    c.settings.SaveSetting(kApp, kSection, QStringLiteral("Update"), st.AvailableVersion);
    c.settings.SaveSetting(kApp, kSection, QStringLiteral("InstallDir"),
                           c.services.programInfo.programFolder());
    const qint64 remaining =
        dateserial::toLinearSeconds(st.endet) - c.services.clock.wholeSeconds();
    const bool running = remaining > 0;
    c.settings.SaveSetting(kApp, kSection, QStringLiteral("ItemID"),
                           running ? st.ItemID : QString());
    c.settings.SaveSetting(kApp, kSection, QStringLiteral("AuktionTitel"),
                           running ? st.AuktionTitel : QString());
    c.settings.SaveSetting(kApp, kSection, QStringLiteral("endet"),
                           running ? regional::formatGeneralDate(st.endet, st.region) : QString());
    if (st.armed) Command1_Click();
    ctx().services.sleepInhibitor.release();  // also when the disarm above failed
    WriteLog(c, QStringLiteral("GebotsfalkePlus beendet - Version ") + version::full());
  });
}
