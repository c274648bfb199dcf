#include "bidding/transfer.h"

#include "app/appstate.h"
#include "bidding/inet.h"

void runRequest(AppContext& ctx, Inet& inet1, const QString& url, const QString& operation,
                const QString& data, const QString& headers, const TransferLimits& limits) {
  ctx.state.ResponseText.clear();
  inet1.Execute(url, operation, data, headers, limits);
  inet1.waitWhileExecuting();
}
