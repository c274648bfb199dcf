#include "timesync/clockonly.h"

#include "app/appstate.h"
#include "timesync/gettime.h"

ClockOnlyOutcome clockOnlyOutcome(const AppState& st) {
  const bool errorReported = !st.lastFailingProcedure.isEmpty();
  // A clock that is right needs no setting: the run did what it is for.
  if (st.SyncMessage == kClockSetMessage || st.SyncMessage == kClockRightMessage)
    return {errorReported ? 1 : 0, QString()};
  // A synchronisation that ended in an error box has no outcome text of its own.
  if (st.SyncMessage.isEmpty() && errorReported) return {1, QString()};
  if (st.SyncMessage.isEmpty()) return {1, QStringLiteral("Die Systemuhr wurde nicht gestellt.")};
  // Only the outcome's first line: that the program would go by the site's time does not
  // concern a run that ends here.
  return {1, st.SyncMessage.section(QStringLiteral("\r\n"), 0, 0)};
}
