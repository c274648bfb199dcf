#pragma once

#include <QString>

#include "app/context.h"

class Inet;

// Runs one request on the main window's transfer component and waits, processing window
// events, until it has ended. ResponseText is emptied first, so a request that fails is never
// judged by an earlier reply; a completed one leaves its body there.
void runRequest(AppContext& ctx, Inet& inet1, const QString& url, const QString& operation,
                const QString& data, const QString& headers);
