// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/oruMainWindow.h"

#include "ui_MainWindow.h"

#include <QCloseEvent>

namespace pondrel {

oruMainWindow::oruMainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::MainWindow>())
{
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/publisher/images/pondrel-publisher.svg")));
}

oruMainWindow::~oruMainWindow() = default;

void oruMainWindow::closeEvent(QCloseEvent *event)
{
    if (m_shouldClose && !m_shouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

void oruMainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    emit resized();
}

} // namespace pondrel
