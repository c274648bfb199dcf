#include "sniperfixture.h"

TEST_F(SniperTest, itemLinkOpensTheGermanItemPageOnlyWithAnItem) {
  env.state.endpoints.itemHostDe = QStringLiteral("http://cgi.ebay.de");
  QTest::mouseClick(form.Lbl_GoItem, Qt::LeftButton);
  EXPECT_EQ(
      env.shell.urls,
      QStringList{QStringLiteral("http://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem&item=1234567890")});
  env.state.ItemID = QStringLiteral("1&x=2 y");
  form.Lbl_GoItem_Click();
  EXPECT_EQ(env.shell.urls.last(),
            QStringLiteral("http://cgi.ebay.de/ws/eBayISAPI.dll?ViewItem&item=1%26x%3D2%20y"));
  env.state.ItemID.clear();
  form.Lbl_GoItem_Click();
  form.Lbl_GoItem_MouseMove();
  EXPECT_EQ(env.shell.urls.size(), 2);
  EXPECT_EQ(form.Lbl_GoItem->foreColor(), QColor(0, 0, 255));
}

TEST_F(SniperTest, hoverTurnsLinksRedAndUnderlinedAndTheBackgroundRestoresThem) {
  hover(form.Lbl_GetTime);
  EXPECT_EQ(form.Lbl_GetTime->foreColor(), QColor(255, 0, 0));
  EXPECT_TRUE(form.Lbl_GetTime->underlined());
  form.Lbl_GoItem_MouseMove();
  form.Lbl_Optionen_MouseMove();
  form.Lbl_GetArtikel_MouseMove();
  EXPECT_EQ(form.Lbl_GetArtikel->foreColor(), QColor(255, 0, 0));
  hover(form.Shape1);  // a panel lets the movement through to the window
  hover(&form);
  for (LinkLabel* l : {form.Lbl_GetTime, form.Lbl_GoItem, form.Lbl_Optionen, form.Lbl_GetArtikel}) {
    EXPECT_EQ(l->foreColor(), QColor(0, 0, 255)) << l->objectName().toStdString();
    EXPECT_FALSE(l->underlined());
  }
}

TEST_F(SniperTest, whileArmedTheItemAndOptionsLabelsRefuseClicksAndHover) {
  armWith(QStringLiteral("5"));
  form.Lbl_Optionen_MouseMove();
  form.Lbl_GetArtikel_MouseMove();
  EXPECT_EQ(form.Lbl_Optionen->foreColor(), QColor(128, 128, 128));
  EXPECT_EQ(form.Lbl_GetArtikel->foreColor(), QColor(128, 128, 128));
  QTest::mouseClick(form.Lbl_Optionen, Qt::LeftButton);
  QTest::mouseClick(form.Lbl_GetArtikel, Qt::LeftButton);
  EXPECT_TRUE(env.dialogs.execs.isEmpty());
  EXPECT_EQ(env.state.ItemID, QStringLiteral("1234567890"));  // no new scan
  form.Form_MouseMove();
  EXPECT_EQ(form.Lbl_Optionen->foreColor(), QColor(128, 128, 128));
  // The clock and the item page still work.
  form.Lbl_GetTime_MouseMove();
  EXPECT_EQ(form.Lbl_GetTime->foreColor(), QColor(255, 0, 0));
  form.Lbl_GoItem_Click();
  EXPECT_EQ(env.shell.urls.size(), 1);
}

TEST_F(SniperTest, optionsLabelOpensTheDialogWhileDisarmed) {
  form.Lbl_Optionen_MouseMove();
  QTest::mouseClick(form.Lbl_Optionen, Qt::LeftButton);
  EXPECT_EQ(env.dialogs.execs, QList<QString>{QStringLiteral("frmOptions")});
  EXPECT_EQ(form.Lbl_Optionen->foreColor(), QColor(0, 0, 255));
}
