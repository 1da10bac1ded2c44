// SPDX-License-Identifier: GPL-2.0-or-later
// Signing on and off, the first-run choice, new accounts and the account panel.
#include "publisher/app/oruController.h"

#include "publisher/app/oruMainWindow.h"
#include "publisher/app/oruSavedPassword.h"
#include "publisher/app/oruServiceThread.h"
#include "publisher/dialogs/oruAccountController.h"
#include "publisher/dialogs/oruAlertPresenter.h"
#include "publisher/dialogs/oruLoginController.h"
#include "publisher/dialogs/oruNewAccountController.h"
#include "support/Preferences.h"
#include "support/oruLog.h"
#include "ui_MainWindow.h"

#include <QTimer>

namespace pondrel {

namespace {

const QString kLastLoginKey = QStringLiteral("LastLogin");
const QString kAutoLoginKey = QStringLiteral("AutoLogin");

// Passwords never reach the log, not even their length.
QString masked(const QString &password)
{
    return password.isEmpty() ? QString() : QStringLiteral("********");
}

struct SignOnOutcome
{
    bool registered = false;
    bool signedOn = false;
    QString error;
};

struct AccountPanelData
{
    std::optional<QVariantMap> info;
    QString password;
};

} // namespace

void oruController::chooseLoginOrNewAccount()
{
    oruAlertRequest request;
    request.title = tr("You are not logged on the system");
    request.message = tr("If it's the first time you use this software, you should create a new "
                         "account or if you have an existing account, you should choose "
                         "\"Login\" and enter your username and password.");
    request.buttons = {tr("Login"), tr("Create New Account"), tr("Quit")};
    const QString answer = m_alerts->alert(request);
    if (answer == request.buttons.at(0))
        showLoginPanel();
    else if (answer == request.buttons.at(1))
        showNewAccount();
    else
        terminate();
}

void oruController::showLoginPanel()
{
    const QString lastLogin = Preferences::shared().value(kLastLoginKey).toString();
    runLoginPanel(std::make_shared<oruLoginController>(QStringList {lastLogin}));
}

void oruController::runLoginPanel(std::shared_ptr<oruLoginController> panel)
{
    if (m_alerts->runDialog(*panel) != QDialog::Accepted)
        return;
    const QString user = panel->userName();
    const QString password = panel->password();
    const bool autoLogin = panel->autoLogin();
    loginWithUser(user, password, [this, panel, user, password, autoLogin](bool signedOn) {
        if (!signedOn) {
            // Back to the panel, with what the user typed still in it.
            QTimer::singleShot(0, this, [this, panel] { runLoginPanel(panel); });
            return;
        }
        Preferences settings = Preferences::shared();
        settings.setValue(kLastLoginKey, user);
        settings.setValue(kAutoLoginKey, autoLogin);
        m_savedPassword->save(user, password);
        sendLoginNotification(user);
    });
}

void oruController::loginWithUser(
    const QString &user, const QString &password, std::function<void(bool)> done)
{
    ORU_LOG(QStringLiteral("%1, pwd: %2").arg(user, masked(password)));
    showStatus(tr("Login on Trevane..."));
    m_service->run<SignOnOutcome>(
        [net = m_orunet.get(), user, password] {
            if (!net->registerComputerIfNeeded())
                return SignOnOutcome {false, false, net->errorMsg()};
            return SignOnOutcome {true, net->signOn(user, password), QString()};
        },
        [this, user, done = std::move(done)](const SignOnOutcome &outcome) {
            const bool signedOn = outcome.signedOn;
            m_signedOn = signedOn;
            // The client says nothing when the computer cannot be registered, which is what
            // a service that is down or answers nonsense looks like: say why here.
            if (!outcome.registered)
                m_alerts->alert(oruAlertRequest::Kind::Critical,
                    tr("The photo-album service cannot be reached."),
                    oruNetwork::messageForAlert(outcome.error));
            if (signedOn) {
                changeLoginItem();
                draftsSignedOn(user);
                QTimer::singleShot(kStartupDelayMs, this, &oruController::refresh);
            }
            hideStatus();
            updateCommandStates();
            if (done)
                done(signedOn);
            emit signOnFinished(signedOn);
        });
}

void oruController::logout(std::function<void()> done)
{
    ORU_LOG(QStringLiteral("MARK"));
    showStatus(tr("Disconnecting..."));
    stopLoader();
    ++m_listingGeneration;
    m_service->run([net = m_orunet.get()] { net->signOff(); },
        [this, done = std::move(done)] {
            finishLogout();
            if (done)
                done();
        });
}

void oruController::finishLogout()
{
    m_signedOn = false;
    m_assetsList.clear();
    m_drafts->setAccount(QString());
    for (int i = 0; i < kSectionCount; ++i) {
        m_pictureViewArrays[i].clear();
        m_pictureViewIndexes[i] = IndexSet();
    }
    recalcViews();
    updateCountText();
    m_albumHeap.removeAllObjects();
    m_parentHeap.removeAllObjects();
    m_assetsHeap.removeAllObjects();
    setCurrentAlbum(oruItem());
    changeLoginItem();
    hideStatus();
    updateCommandStates();
    emit signedOff();
}

void oruController::loginOrLogout()
{
    if (!m_signedOn) {
        showLoginPanel();
        return;
    }
    logout([] { Preferences::shared().setValue(kAutoLoginKey, false); });
}

void oruController::showNewAccount()
{
    runNewAccountDialog(std::make_shared<oruNewAccountController>());
}

void oruController::runNewAccountDialog(std::shared_ptr<oruNewAccountController> dialog)
{
    if (m_alerts->runDialog(*dialog) != QDialog::Accepted)
        return;
    const QString first = dialog->firstName();
    const QString last = dialog->lastName();
    const QString email = dialog->email();
    const QString password = dialog->password();
    showStatus(tr("Creating the account..."));
    m_service->run<bool>([net = m_orunet.get(), first, last, password,
                             email] { return net->createNewAccount(first, last, password, email); },
        [this, dialog, email, password](bool created) {
            hideStatus();
            if (!created) {
                // The client has said why; the dialog comes back for another try.
                QTimer::singleShot(0, this, [this, dialog] { runNewAccountDialog(dialog); });
                return;
            }
            newAccountCreated(email, password);
        });
}

void oruController::newAccountCreated(const QString &email, const QString &password)
{
    ORU_LOG(QStringLiteral("NSRunStoppedResponse"));
    auto signOnNewUser = [this, email, password] {
        Preferences::shared().setValue(kLastLoginKey, email);
        m_savedPassword->save(email, password);
        loginWithUser(email, password, [this, email](bool) { sendLoginNotification(email); });
    };
    if (m_signedOn)
        logout(signOnNewUser);
    else
        signOnNewUser();
}

void oruController::showAccountPanel()
{
    m_service->run<AccountPanelData>(
        [net = m_orunet.get()] {
            return AccountPanelData {net->getAccountInfo(), net->password()};
        },
        [this](const AccountPanelData &data) {
            QVariantMap info = data.info.value_or(QVariantMap());
            info.insert(QStringLiteral("Password"), data.password);
            showAccountPanelWith(info);
        });
}

void oruController::showAccountPanelWith(const QVariantMap &info)
{
    oruAccountController panel(info, *m_alerts);
    if (m_alerts->runDialog(panel) != QDialog::Accepted)
        return;
    const QVariantMap edited = panel.accountInfo();
    const QString first = edited.value(QStringLiteral("FirstName")).toString();
    const QString last = edited.value(QStringLiteral("LastName")).toString();
    // No password when the area stayed closed: the client then keeps the current one.
    const QString password = edited.value(QStringLiteral("Password")).toString();
    m_service->run<bool>([net = m_orunet.get(), first, last,
                             password] { return net->updateAccountInfo(first, last, password); },
        [](bool) {});
}

} // namespace pondrel
