#pragma once

#include <QString>

#include "app/context.h"
#include "bidding/inet.h"

// Runs one request on the main window's transfer component and waits, processing window
// events, until it has ended (limits: bounds of this transfer beyond the component's
// time-out). ResponseText is emptied first, so a request that fails is never judged by an
// earlier reply; a completed one leaves its body there.
void runRequest(AppContext& ctx, Inet& inet1, const QString& url, const QString& operation,
                const QString& data, const QString& headers, const TransferLimits& limits = {});
