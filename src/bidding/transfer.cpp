#include "bidding/transfer.h"

#include <QCoreApplication>

#include "app/appstate.h"
#include "app/dateserial.h"
#include "app/errortrap.h"
#include "bidding/inet.h"
#include "platform/clock.h"
#include "platform/services.h"

void runRequest(AppContext& ctx, Inet& inet, const QString& url, const QString& operation,
                const QString& data, const QString& headers, const TransferLimits& limits,
                const AccountRequest* account) {
  ctx.state.ResponseText.clear();
  inet.Execute(url, operation, data, headers, limits, account);
  inet.waitWhileExecuting();
}

void Inet1_StateChanged(AppContext& ctx, int state) {
  AppState& st = ctx.state;
  trap(ctx, "Inet1_StateChanged", [&] {
    if (state == Inet::kReceivingResponse) {
      // The moment the time page's answer began to arrive, for the delay correction.
      if (st.SyncTimeMarkPending) {
        st.SyncTimeMark = dateserial::secondsOfDay(ctx.services.clock.now()) / 86400.0;
        st.SyncTimeMarkPending = false;
      }
    } else if (state == Inet::kResponseCompleted) {
      st.ResponseText.clear();
      QString body;
      QString piece = ctx.inet1.GetChunk(1024);
      QCoreApplication::processEvents();
      while (!piece.isEmpty()) {
        body += piece;
        QCoreApplication::processEvents();
        piece = ctx.inet1.GetChunk(1024);
      }
      st.ResponseText = body;
    }
  });
}

void connectInet1(AppContext& ctx) {
  ctx.inet1.setObjectName(QStringLiteral("Inet1"));
  QObject::connect(&ctx.inet1, &Inet::StateChanged, &ctx.inet1,
                   [&ctx](int state) { Inet1_StateChanged(ctx, state); });
}
