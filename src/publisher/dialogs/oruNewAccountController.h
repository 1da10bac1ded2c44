// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDialog>

#include <memory>

namespace pondrel {

namespace Ui {
class CreateNewAccount;
}

// The new-account dialog. OK is enabled while the first name is not empty, the e-mail address
// is one and the password equals its confirmation; the last name is free.
class oruNewAccountController : public QDialog
{
    Q_OBJECT

public:
    explicit oruNewAccountController(QWidget *parent = nullptr);
    ~oruNewAccountController() override;

    QString firstName() const;
    QString lastName() const;
    QString email() const;
    QString password() const;

    void setFields(const QString &firstName, const QString &lastName, const QString &email,
        const QString &password, const QString &confirmation);
    bool isOkEnabled() const;
    void accept() override;

private:
    void applyEnablingRule();

    std::unique_ptr<Ui::CreateNewAccount> m_ui;
};

} // namespace pondrel
