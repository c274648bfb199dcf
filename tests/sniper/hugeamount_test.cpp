// Amounts near the largest number a double holds: the money form writes them in full (a
// hundred times such an amount does not fit a double any more), and arming fails as for any
// amount beyond single precision, by overflow.
#include <cfloat>

#include "app/vberror.h"
#include "sniperfixture.h"

TEST(RegionalMoney, amountsTooLargeForCentsAreWrittenInFullAndReadBackExactly) {
  const RegionalFormat de = RegionalFormat::german();
  for (const double amount : {5e306, -5e306, DBL_MAX, 4503599627370497.0}) {
    const QString text = regional::formatMoney(amount, de);
    EXPECT_TRUE(text.endsWith(QStringLiteral(",00"))) << text.toStdString();
    EXPECT_EQ(regional::parseNumber(text, de), amount) << text.toStdString();
  }
  EXPECT_EQ(regional::formatMoney(-4503599627370496.0, de),
            QStringLiteral("-4.503.599.627.370.496,00"));
}

TEST_F(SniperTest, armingWithAnAmountNearTheLargestDoubleFailsByOverflow) {
  armWith(QStringLiteral("5E+306"));
  ASSERT_EQ(env.dialogs.errors.size(), 1);
  EXPECT_TRUE(env.dialogs.errors[0].startsWith(QStringLiteral("Fehlernummer:  6\r\n")));
  EXPECT_TRUE(env.dialogs.errors[0].endsWith(QStringLiteral("\r\nZeilennummer: 19")));
  EXPECT_FALSE(env.state.armed);
}
