#pragma once

#include <QString>
#include <exception>

#include "app/context.h"
#include "app/vberror.h"

// The error box every procedure shows when it fails at run time: "Fehlernummer: " with a sign
// position, "Beschreibung: ", "Programmteil: " and, for a procedure that counts its steps,
// "Zeilennummer: ".
QString errorBoxText(int number, const QString& description, const QString& procedure,
                     const QString& stepNumber = QString());

// Records the failing procedure and shows the error box without waiting for it to be closed:
// an unattended bid must never wait for a click.
void showErrorBox(AppContext& ctx, const QString& procedure, const VbError& error,
                  const QString& stepNumber = QString());

// Runs a procedure's body under its error trap: a run-time error ends the body, shows the error
// box naming the procedure, and the caller goes on. Returns false when the body failed.
template <class Body>
bool trap(AppContext& ctx, const char* procedure, Body&& body) {
  try {
    body();
    return true;
  } catch (const VbError& e) {
    showErrorBox(ctx, QString::fromUtf8(procedure), e);
  } catch (const std::exception& e) {
    showErrorBox(ctx, QString::fromUtf8(procedure), VbError(vberr::kInvalidCall));
  }
  return false;
}

// As trap(), for a procedure that keeps a step number for its error box.
template <class Body>
bool trapWithStep(AppContext& ctx, const char* procedure, const QString& step, Body&& body) {
  try {
    body();
    return true;
  } catch (const VbError& e) {
    showErrorBox(ctx, QString::fromUtf8(procedure), e, step);
  } catch (const std::exception& e) {
    showErrorBox(ctx, QString::fromUtf8(procedure), VbError(vberr::kInvalidCall), step);
  }
  return false;
}
