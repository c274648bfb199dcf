// The main window's handler of its transfer component's notifications.
#include <QCoreApplication>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "bidding/inet.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "sniper/form1.h"

void Form1::Inet1_StateChanged(int state) {
  AppState& st = ctx().state;
  trap(ctx(), "Inet1_StateChanged", [&] {
    if (state == Inet::kReceivingResponse) {
      // The moment the time page's answer began to arrive, for the delay correction.
      if (st.SyncTimeMarkPending) {
        st.SyncTimeMark = dateserial::secondsOfDay(ctx().services.clock.now()) / 86400.0;
        st.SyncTimeMarkPending = false;
      }
    } else if (state == Inet::kResponseCompleted) {
      st.ResponseText.clear();
      QString body;
      QString piece = Inet1->GetChunk(1024);
      QCoreApplication::processEvents();
      while (!piece.isEmpty()) {
        body += piece;
        QCoreApplication::processEvents();
        piece = Inet1->GetChunk(1024);
      }
      st.ResponseText = body;
    }
  });
}
