#include "app/errortrap.h"

#include "app/appstate.h"
#include "platform/dialogs.h"
#include "platform/services.h"

QString errorBoxText(int number, const QString& description, const QString& procedure,
                     const QString& stepNumber) {
  // Numbers carry a sign position: a blank in front of a non-negative number.
  const QString num =
      number < 0 ? QString::number(number) : QStringLiteral(" ") + QString::number(number);
  QString text = QStringLiteral("Fehlernummer: ") + num + QStringLiteral("\r\nBeschreibung: ") +
                 description + QStringLiteral("\r\nProgrammteil: ") + procedure;
  if (!stepNumber.isNull()) text += QStringLiteral("\r\nZeilennummer: ") + stepNumber;
  return text;
}

void showErrorBox(AppContext& ctx, const QString& procedure, const VbError& error,
                  const QString& stepNumber) {
  ctx.state.lastFailingProcedure = procedure;
  ctx.services.dialogs.errorBox(
      errorBoxText(error.number(), error.description(), procedure, stepNumber),
      QStringLiteral("Fehler"));
}
