#include <QAccessible>
#include <QSignalSpy>

#include "support/testwindow.h"

// The item page opens on the German item host, armed or not, and only with an item.
TEST_F(WindowTest, itemLinkOpensTheGermanItemPageOnlyWithAnItem) {
  env.state.endpoints.itemHostDe = "http://cgi.ebay.de";
  QTest::mouseClick(ui.Lbl_GoItem, Qt::LeftButton);
  armWith("5");
  env.state.ItemID = "1&x=2 y";
  form.Lbl_GoItem_Click();
  env.state.ItemID.clear();
  form.Lbl_GoItem_Click();
  EXPECT_EQ(env.shell.urls,
            (QStringList{"http://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem&item=1234567890",
                         "http://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem&item=1%26x%3D2%20y"}));
}

// Hover turns a link red and underlined and the window's background restores it. While armed
// the item and options labels stay grey and refuse clicks; disarmed, the options open.
TEST_F(WindowTest, linksLightUpOnHoverAndRefuseClicksWhileArmed) {
  QTest::mouseMove(ui.Lbl_GetTime);
  EXPECT_EQ(ui.Lbl_GetTime->foreColor(), QColor(255, 0, 0));
  EXPECT_TRUE(ui.Lbl_GetTime->underlined());
  form.Lbl_GoItem_MouseMove();
  form.Lbl_Optionen_MouseMove();
  form.Lbl_GetArtikel_MouseMove();
  QTest::mouseMove(&form, QPoint(2, 2));
  for (LinkLabel* l : {ui.Lbl_GetTime, ui.Lbl_GoItem, ui.Lbl_Optionen, ui.Lbl_GetArtikel}) {
    EXPECT_EQ(l->foreColor(), QColor(0, 0, 255)) << l->objectName().toStdString();
    EXPECT_FALSE(l->underlined()) << l->objectName().toStdString();
  }

  armWith("5");
  form.Lbl_Optionen_MouseMove();
  form.Lbl_GetArtikel_MouseMove();
  QTest::mouseMove(&form, QPoint(2, 2));
  EXPECT_EQ(ui.Lbl_Optionen->foreColor(), QColor(128, 128, 128));
  EXPECT_EQ(ui.Lbl_GetArtikel->foreColor(), QColor(128, 128, 128));
  QTest::mouseClick(ui.Lbl_Optionen, Qt::LeftButton);
  QTest::mouseClick(ui.Lbl_GetArtikel, Qt::LeftButton);
  EXPECT_TRUE(env.dialogs.execs.isEmpty());
  EXPECT_EQ(env.state.ItemID, "1234567890");  // no new scan

  form.Command1_Click();
  QTest::mouseClick(ui.Lbl_Optionen, Qt::LeftButton);
  EXPECT_EQ(env.dialogs.execs, QList<QString>{"frmOptions"});
}

// Without a mouse: Tab goes in reading order through the amount field, the button and the
// links, passing "Link zum Artikel" by while there is no item; Enter and Space on a link (Ctrl+F5
// still reaching the window) and a screen reader's "press" do what its click does. Each link is
// a link or button named by its text, and the amount field is "Höchstgebot".
TEST_F(WindowTest, keyboardAndScreenReaderReachAndTriggerEveryAction) {
  const auto accessible = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w); };
  const auto tabOrder = [&](int count) {
    QStringList order;
    for (int i = 0; i < count; ++i) {
      order << form.focusWidget()->objectName();
      QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
    }
    return order;
  };
  // "Artikel übernehmen" finds the same item again.
  env.windowList.list = {
      {0x40000001, true, true,
       "eBay Artikel 1234567890 (endet 05.12.26 20:00:00 MEZ) - Nokia 3310 Handy"}};
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  ui.Txt_maxbid->setFocus();
  // The update mark (shown here) comes first: it stands in the top strip.
  EXPECT_EQ(tabOrder(8),
            QStringList({"Txt_maxbid", "Command1", "Lbl_GoItem", "Lbl_GetTime", "Lbl_Optionen",
                         "Lbl_GetArtikel", "Lbl_update", "Txt_maxbid"}));
  EXPECT_EQ(accessible(ui.Txt_maxbid)->text(QAccessible::Name), "Höchstgebot");
  EXPECT_EQ(accessible(ui.Lbl_update)->text(QAccessible::Name), "Update verfügbar");

  for (LinkLabel* link : {ui.Lbl_GoItem, ui.Lbl_GetTime, ui.Lbl_Optionen, ui.Lbl_GetArtikel}) {
    SCOPED_TRACE(link->objectName().toStdString());
    QAccessibleInterface* a = accessible(link);
    EXPECT_TRUE(a->role() == QAccessible::Link || a->role() == QAccessible::Button);
    EXPECT_EQ(a->text(QAccessible::Name), link->text());
    EXPECT_TRUE(a->state().focusable);
    ASSERT_TRUE(a->actionInterface());
    QSignalSpy clicked(link, &LinkLabel::clicked);
    QTest::keyClick(link, Qt::Key_Return);
    QTest::keyClick(link, Qt::Key_Space);
    QTest::keyClick(link, Qt::Key_Enter, Qt::KeypadModifier);
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(clicked.count(), 4);
    QTest::keyClick(link, Qt::Key_F5, Qt::ControlModifier);
  }
  EXPECT_EQ(env.shell.urls.size(), 4);
  EXPECT_EQ(env.dialogs.execs.size(), 4);
  EXPECT_EQ(env.shell.files.size(), 4);          // Ctrl+F5 opened the log each time
  EXPECT_EQ(form.focusWidget(), ui.Txt_maxbid);  // the item taken over, the amount is next

  // No window shows an item: the scan leaves none, and Tab skips the inert item link.
  env.windowList.list.clear();
  QTest::keyClick(ui.Lbl_GetArtikel, Qt::Key_Space);
  ui.Lbl_GetTime->setFocus();
  EXPECT_EQ(tabOrder(5), QStringList({"Lbl_GetTime", "Lbl_Optionen", "Lbl_GetArtikel", "Lbl_update",
                                      "Lbl_GetTime"}));
}

// The version check shows the update mark; a click on it opens the update window offering the
// newer version, without progress.
