// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruPrefsController.h"

#include "ui_Prefs.h"

namespace pondrel {

oruPrefsController::oruPrefsController(bool autoStart, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::Prefs>())
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("Prefs"));
    m_ui->autoStartBox->setChecked(autoStart);
    connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

oruPrefsController::~oruPrefsController() = default;

bool oruPrefsController::autoStart() const
{
    return m_ui->autoStartBox->isChecked();
}
void oruPrefsController::setAutoStart(bool on)
{
    m_ui->autoStartBox->setChecked(on);
}

} // namespace pondrel
