#pragma once

#include <QDialog>
#include <memory>

#include "app/context.h"
#include "ebay/account.h"
#include "ebay/secrets.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ebay {
class OAuthClient;
class Transport;
}  // namespace ebay

// "eBay-Zugang": the user's own eBay keyset (App ID, Cert ID, RuName), the environment and the
// marketplace, where the secrets are kept, and the sign-in: "Anmelden" opens eBay's consent
// page in the default browser, the user pastes the address the browser ends at (or the code)
// and the program exchanges it for tokens. "OK" keeps the keyset; signing in and out take
// effect at once. Enter confirms ("Übernehmen" while the address field has the focus), Escape
// cancels.
class EbayZugang : public QDialog {
  Q_OBJECT

 public:
  EbayZugang(AppContext& ctx, QWidget* owner);
  ~EbayZugang() override;

  void cmdAnmelden_Click();
  void cmdUebernehmen_Click();
  void cmdAbmelden_Click();
  void cmdOK_Click();

  QLineEdit* Txt_AppId;
  QLineEdit* Txt_CertId;
  QLineEdit* Txt_RuName;
  QComboBox* Cmb_Umgebung;
  QComboBox* Cmb_Marktplatz;
  QLabel* Lbl_Schluesselbund;
  QRadioButton* Opt_Schluesselbund;
  QRadioButton* Opt_Programmlauf;
  QRadioButton* Opt_Datei;
  QLineEdit* Txt_Datei;
  QLabel* Lbl_Status;
  QPushButton* cmdAnmelden;
  QLineEdit* Txt_Adresse;
  QPushButton* cmdUebernehmen;
  QPushButton* cmdAbmelden;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildControls();
  void load();
  ebay::Keyset keysetOfControls() const;
  // Keeps the place of the secrets and the keyset as the controls have them; false (with the
  // reason in the status line) when a secret could not be kept.
  bool applyControls();
  void showState(const QString& text = QString());
  void setBusy(bool busy);
  // A sign-in client for the keyset as last kept.
  ebay::OAuthClient& oauth();

  AppContext& m_ctx;
  ebay::Secrets m_secrets;
  std::unique_ptr<ebay::Transport> m_transport;
  std::unique_ptr<ebay::OAuthClient> m_oauth;
  bool m_busy = false;
};

// The command-line option that opens the dialog at start.
bool isEbayZugangOption(const QString& commandLine);
