// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruProgressSheet.h"

#include "ui_ProgressSheet.h"

namespace pondrel {

oruProgressSheet::oruProgressSheet(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ProgressSheet>())
{
    m_ui->setupUi(this);
    setWindowModality(Qt::WindowModal);
    connect(m_ui->progressSheet_stop, &QPushButton::clicked, this, &oruProgressSheet::stopRequested);
}

oruProgressSheet::~oruProgressSheet() = default;

void oruProgressSheet::begin(const QString &title, const QString &text, int maximum, bool stoppable)
{
    m_ui->progressSheet_Title->setText(title);
    m_ui->progressSheet_Text->setText(text);
    m_ui->progressSheet_progBar->setRange(0, std::max(maximum, 1));
    m_ui->progressSheet_progBar->setValue(0);
    m_ui->progressSheet_stop->setVisible(stoppable);
    m_ui->progressSheet_stop->setEnabled(true);
    adjustSize();
    open();
}

void oruProgressSheet::setText(const QString &text)
{
    m_ui->progressSheet_Text->setText(text);
}

void oruProgressSheet::setValue(int value)
{
    m_ui->progressSheet_progBar->setValue(value);
}

int oruProgressSheet::value() const
{
    return m_ui->progressSheet_progBar->value();
}

int oruProgressSheet::maximum() const
{
    return m_ui->progressSheet_progBar->maximum();
}

void oruProgressSheet::end()
{
    m_ui->progressSheet_progBar->setValue(m_ui->progressSheet_progBar->maximum());
    m_ui->progressSheet_stop->setVisible(true);
    hide();
}

void oruProgressSheet::reject()
{
    if (m_ui->progressSheet_stop->isVisible()) {
        m_ui->progressSheet_stop->setEnabled(false);
        emit stopRequested();
    }
}

} // namespace pondrel
