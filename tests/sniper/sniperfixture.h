#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "app/dateserial.h"
#include "sniper/form1.h"
#include "support/testenv.h"

// A main window watching item 1234567890, which ends at 05.12.2026 20:00:00, with an account
// and 10 seconds before the end. Requests go to a port where nobody listens, so a bid ends
// quickly without data.
class SniperTest : public ::testing::Test {
 protected:
  SniperTest() : form(*env.ctx) {
    AppState& s = env.state;
    s.ItemID = QStringLiteral("1234567890");
    s.AuktionTitel = QStringLiteral("Nokia 3310 Handy");
    s.endet = dateserial::fromParts({2026, 12, 5, 20, 0, 0});
    s.user = QStringLiteral("bieter");
    s.pass = QStringLiteral("geheim");
    s.sectobid = QStringLiteral("10");
    s.warnton = 1;
    s.clockLabelOffset = 200;
    Endpoints dead;
    dead.offerHost = dead.itemHost = dead.offerHostDe = dead.itemHostDe = dead.timeHost =
        dead.vendorServer = QStringLiteral("http://127.0.0.1:1");
    s.endpoints = dead;
    form.Txt_maxbid->show();
    form.Command1->show();
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }

  // Sets the clock `seconds` before the end (plus ms into that second).
  void secondsBeforeEnd(qint64 seconds, int ms = 0) {
    env.clock.setMs((dateserial::toLinearSeconds(env.state.endet) - seconds) * 1000 + ms);
  }

  void armWith(const QString& amount) {
    form.Txt_maxbid->setText(amount);
    form.Command1_Click();
  }

  // Moves the mouse over a widget (a mouse-move event without buttons at its centre).
  static void hover(QWidget* w) {
    const QPointF local = QRectF(w->rect()).center();
    QMouseEvent move(QEvent::MouseMove, local, w->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
  }

  double zeitFontSize() const { return form.LabelZeit->font().pointSizeF(); }
  QColor zeitColor() const { return labelForeColor(form.LabelZeit); }

  TestEnv env;
  Form1 form;
};
