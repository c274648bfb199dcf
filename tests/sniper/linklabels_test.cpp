#include "sniperfixture.h"

// The item page opens on the German item host, armed or not, and only with an item.
TEST_F(SniperTest, itemLinkOpensTheGermanItemPageOnlyWithAnItem) {
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
TEST_F(SniperTest, linksLightUpOnHoverAndRefuseClicksWhileArmed) {
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

// The version check shows the update mark; a click on it opens the update window offering the
// newer version, without progress.
