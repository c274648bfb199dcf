#pragma once

#include <QString>

#include "app/context.h"
#include "bidding/inet.h"

// Runs one request on a transfer component and waits, processing window events, until it has
// ended (limits: bounds of this transfer beyond the component's time-out; account: the rules
// of a request that carries the account). ResponseText is emptied first, so a request that
// fails is never judged by an earlier reply; a completed one on Inet1 leaves its body there.
void runRequest(AppContext& ctx, Inet& inet, const QString& url, const QString& operation,
                const QString& data, const QString& headers, const TransferLimits& limits = {},
                const AccountRequest* account = nullptr);

// The handler of Inet1's notifications: marks when the time page's answer began to arrive and
// collects every completed reply into ResponseText.
void Inet1_StateChanged(AppContext& ctx, int state);

// Names the context's transfer component "Inet1" and connects its notifications to
// Inet1_StateChanged. Called once where the context is built, before anyone else listens, so
// that every other listener finds the reply collected.
void connectInet1(AppContext& ctx);
