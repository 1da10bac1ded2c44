// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

namespace pondrel {

namespace Ui {
class MainWindow;
}

// The Publisher's main window as loaded from its interface file. The controller fills it in
// and decides whether it may close.
class oruMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    using CloseQuestion = std::function<bool()>;

    explicit oruMainWindow(QWidget *parent = nullptr);
    ~oruMainWindow() override;

    Ui::MainWindow &ui() { return *m_ui; }
    // Asked before the window closes; false keeps it open.
    void setCloseQuestion(CloseQuestion question) { m_shouldClose = std::move(question); }

signals:
    void resized();
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    std::unique_ptr<Ui::MainWindow> m_ui;
    CloseQuestion m_shouldClose;
};

} // namespace pondrel
