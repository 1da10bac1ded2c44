// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruLoginController.h"

#include "support/StringExtras.h"
#include "ui_Login.h"

#include <QLineEdit>

namespace pondrel {

oruLoginController::oruLoginController(const QStringList &users, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::Login>())
    , m_users(users)
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("Login"));
    m_ui->userNameText->addItems(m_users);
    if (!m_users.isEmpty())
        m_ui->userNameText->setCurrentIndex(0);
    connect(m_ui->userNameText, &QComboBox::editTextChanged, this,
        &oruLoginController::applyEnablingRule);
    connect(
        m_ui->passwordText, &QLineEdit::textChanged, this, &oruLoginController::applyEnablingRule);
    connect(m_ui->okButton, &QPushButton::clicked, this, &oruLoginController::acceptLogin);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &oruLoginController::cancelLogin);
    applyEnablingRule();
}

oruLoginController::~oruLoginController() = default;

QString oruLoginController::userName() const
{
    return m_ui->userNameText->currentText();
}
QString oruLoginController::password() const
{
    return m_ui->passwordText->text();
}
bool oruLoginController::autoLogin() const
{
    return m_ui->autoLogin->isChecked();
}

void oruLoginController::setUserName(const QString &name)
{
    m_ui->userNameText->setEditText(name);
}

void oruLoginController::setPassword(const QString &password)
{
    m_ui->passwordText->setText(password);
}

void oruLoginController::setAutoLogin(bool on)
{
    m_ui->autoLogin->setChecked(on);
}
bool oruLoginController::isOkEnabled() const
{
    return m_ui->okButton->isEnabled();
}

void oruLoginController::acceptLogin()
{
    if (isOkEnabled())
        accept();
}

void oruLoginController::cancelLogin()
{
    reject();
}

void oruLoginController::applyEnablingRule()
{
    m_ui->okButton->setEnabled(StringExtras::isValidEmailAddress(userName()));
}

} // namespace pondrel
