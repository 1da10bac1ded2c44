// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

namespace pondrel {

namespace Ui {
class Login;
}

// The sign-on panel: a user name picked from the remembered ones or typed, a password and the
// automatic sign-on box. OK is enabled while the user name holds an e-mail address.
class oruLoginController : public QDialog
{
    Q_OBJECT

public:
    explicit oruLoginController(const QStringList &users, QWidget *parent = nullptr);
    ~oruLoginController() override;

    QString userName() const;
    QString password() const;
    bool autoLogin() const;
    const QStringList &users() const { return m_users; }

    // For whoever fills the panel in (a person types; a test calls these).
    void setUserName(const QString &name);
    void setPassword(const QString &password);
    void setAutoLogin(bool on);
    bool isOkEnabled() const;
    void acceptLogin();
    void cancelLogin();

private:
    void applyEnablingRule();

    std::unique_ptr<Ui::Login> m_ui;
    QStringList m_users;
};

} // namespace pondrel
