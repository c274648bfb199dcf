#include "app/savedpassword.h"

#include "app/appstate.h"
#include "app/scramble.h"
#include "app/settings.h"
#include "platform/keyring.h"
#include "platform/services.h"

namespace savedpassword {

QString read(AppContext& ctx) {
  Keyring& keyring = ctx.services.keyring;
  const QString scrambled =
      ctx.settings.GetSetting(settingskeys::kApp, settingskeys::kSection, QStringLiteral("pass"));
  if (scrambled.isEmpty()) {
    const Keyring::Answer answer = keyring.read(kKeyringName);
    return answer.status == Keyring::Status::Ok ? answer.secret : QString();
  }
  const QString password = decryptme(ctx, scrambled, ctx.state.passwordKey);
  if (!password.isEmpty() && keyring.write(kKeyringName, password).status == Keyring::Status::Ok)
    ctx.settings.SaveSetting(settingskeys::kApp, settingskeys::kSection, QStringLiteral("pass"),
                             QString());
  return password;
}

QString settingFor(AppContext& ctx, const QString& password, bool keep) {
  Keyring& keyring = ctx.services.keyring;
  if (!keep || password.isEmpty()) {
    keyring.remove(kKeyringName);
    return QString();
  }
  if (keyring.write(kKeyringName, password).status == Keyring::Status::Ok) return QString();
  return cryptme(ctx, password, ctx.state.passwordKey);
}

}  // namespace savedpassword
