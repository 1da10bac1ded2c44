// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDialog>
#include <QVariantMap>

#include <memory>

namespace pondrel {

namespace Ui {
class Account;
}

class oruAlertPresenter;

// The account panel: first and last name, the e-mail address (shown, never sent back), and a
// disclosable area with a new password and its confirmation. On OK, accountInfo() holds
// "FirstName", "LastName" and, only while the password area is open, "Password".
class oruAccountController : public QDialog
{
    Q_OBJECT

public:
    // Null markers in info become empty texts.
    oruAccountController(
        const QVariantMap &info, oruAlertPresenter &alerts, QWidget *parent = nullptr);
    ~oruAccountController() override;

    const QVariantMap &accountInfo() const { return m_accountInfo; }

    void setNames(const QString &firstName, const QString &lastName);
    void setPasswords(const QString &password, const QString &confirmation);
    void setPasswordAreaShown(bool shown);
    bool isPasswordAreaShown() const;
    bool isOkEnabled() const;
    // OK: refuses differing passwords with an alert and stays open.
    void acceptAccount();

private:
    void applyEnablingRule();

    std::unique_ptr<Ui::Account> m_ui;
    oruAlertPresenter &m_alerts;
    QVariantMap m_accountInfo;
};

} // namespace pondrel
