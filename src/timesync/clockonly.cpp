#include "timesync/clockonly.h"

#include "app/appstate.h"
#include "timesync/gettime.h"

ClockOnlyOutcome clockOnlyOutcome(const AppState& st) {
  const bool errorReported = !st.lastFailingProcedure.isEmpty();
  if (st.SyncMessage == kClockSetMessage) return {errorReported ? 1 : 0, QString()};
  // A synchronisation that ended in an error box has no outcome text of its own.
  if (st.SyncMessage.isEmpty() && errorReported) return {1, QString()};
  return {1, st.SyncMessage.isEmpty() ? QStringLiteral("Die Systemuhr wurde nicht gestellt.")
                                      : st.SyncMessage};
}
