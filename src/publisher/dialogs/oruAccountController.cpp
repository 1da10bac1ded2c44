// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruAccountController.h"

#include "publisher/dialogs/oruAlertPresenter.h"
#include "support/StringExtras.h"
#include "support/Values.h"
#include "ui_Account.h"

namespace pondrel {

namespace {

QVariantMap withoutNullMarkers(QVariantMap info)
{
    for (auto it = info.begin(); it != info.end(); ++it) {
        if (Values::isNullMarker(it.value()))
            it.value() = QString();
    }
    return info;
}

} // namespace

oruAccountController::oruAccountController(
    const QVariantMap &info, oruAlertPresenter &alerts, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::Account>())
    , m_alerts(alerts)
    , m_accountInfo(withoutNullMarkers(info))
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("Account"));
    m_ui->firstNameField->setText(m_accountInfo.value(QStringLiteral("FirstName")).toString());
    m_ui->lastNameField->setText(m_accountInfo.value(QStringLiteral("LastName")).toString());
    m_ui->emailField->setText(m_accountInfo.value(QStringLiteral("EmailAddress")).toString());
    for (QLineEdit *field : {m_ui->firstNameField, m_ui->lastNameField, m_ui->emailField,
             m_ui->passwordField, m_ui->confirmPasswordField})
        connect(field, &QLineEdit::textChanged, this, &oruAccountController::applyEnablingRule);
    connect(m_ui->passwordButton, &QToolButton::toggled, this,
        &oruAccountController::setPasswordAreaShown);
    connect(m_ui->okButton, &QPushButton::clicked, this, &oruAccountController::acceptAccount);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    setPasswordAreaShown(false);
    applyEnablingRule();
}

oruAccountController::~oruAccountController() = default;

void oruAccountController::setNames(const QString &firstName, const QString &lastName)
{
    m_ui->firstNameField->setText(firstName);
    m_ui->lastNameField->setText(lastName);
}

void oruAccountController::setPasswords(const QString &password, const QString &confirmation)
{
    m_ui->passwordField->setText(password);
    m_ui->confirmPasswordField->setText(confirmation);
}

void oruAccountController::setPasswordAreaShown(bool shown)
{
    m_ui->passwordButton->setChecked(shown);
    m_ui->passwordButton->setArrowType(shown ? Qt::DownArrow : Qt::RightArrow);
    m_ui->passwordView->setVisible(shown);
    adjustSize();
}

bool oruAccountController::isPasswordAreaShown() const
{
    return m_ui->passwordButton->isChecked();
}

bool oruAccountController::isOkEnabled() const
{
    return m_ui->okButton->isEnabled();
}

void oruAccountController::acceptAccount()
{
    if (!isOkEnabled())
        return;
    if (m_ui->passwordField->text() != m_ui->confirmPasswordField->text()) {
        m_alerts.alert(oruAlertRequest::Kind::Critical, tr("Passwords don't match."),
            tr("Password doesn't match the confirmation."));
        return;
    }
    m_accountInfo.clear();
    if (isPasswordAreaShown())
        m_accountInfo.insert(QStringLiteral("Password"), m_ui->passwordField->text());
    m_accountInfo.insert(QStringLiteral("FirstName"), m_ui->firstNameField->text());
    m_accountInfo.insert(QStringLiteral("LastName"), m_ui->lastNameField->text());
    accept();
}

void oruAccountController::applyEnablingRule()
{
    // The passwords are compared on OK, where a mismatch gets its own alert.
    m_ui->okButton->setEnabled(!m_ui->firstNameField->text().isEmpty()
        && StringExtras::isValidEmailAddress(m_ui->emailField->text()));
}

} // namespace pondrel
