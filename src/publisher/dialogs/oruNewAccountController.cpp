// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruNewAccountController.h"

#include "support/StringExtras.h"
#include "ui_CreateNewAccount.h"

namespace pondrel {

oruNewAccountController::oruNewAccountController(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::CreateNewAccount>())
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("CreateNewAccount"));
    for (QLineEdit *field : {m_ui->firstNameField, m_ui->lastNameField, m_ui->emailField,
             m_ui->passwordField, m_ui->confirmPasswordField})
        connect(field, &QLineEdit::textChanged, this, &oruNewAccountController::applyEnablingRule);
    connect(m_ui->okButton, &QPushButton::clicked, this, &oruNewAccountController::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->okButton->setEnabled(false);
}

oruNewAccountController::~oruNewAccountController() = default;

QString oruNewAccountController::firstName() const
{
    return m_ui->firstNameField->text();
}
QString oruNewAccountController::lastName() const
{
    return m_ui->lastNameField->text();
}
QString oruNewAccountController::email() const
{
    return m_ui->emailField->text();
}
QString oruNewAccountController::password() const
{
    return m_ui->passwordField->text();
}

void oruNewAccountController::setFields(const QString &firstName, const QString &lastName,
    const QString &email, const QString &password, const QString &confirmation)
{
    m_ui->firstNameField->setText(firstName);
    m_ui->lastNameField->setText(lastName);
    m_ui->emailField->setText(email);
    m_ui->passwordField->setText(password);
    m_ui->confirmPasswordField->setText(confirmation);
}

bool oruNewAccountController::isOkEnabled() const
{
    return m_ui->okButton->isEnabled();
}

void oruNewAccountController::accept()
{
    if (isOkEnabled())
        QDialog::accept();
}

void oruNewAccountController::applyEnablingRule()
{
    m_ui->okButton->setEnabled(!firstName().isEmpty() && StringExtras::isValidEmailAddress(email())
        && password() == m_ui->confirmPasswordField->text());
}

} // namespace pondrel
