// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDialog>

#include <memory>

namespace pondrel {

namespace Ui {
class ProgressSheet;
}

// The progress sheet of long commands (import, commit, removal): a title, a text, a determinate
// bar and a stop button, shown window-modal on the main window while the window keeps
// handling events. It shows; the command that owns it decides what stop means.
class oruProgressSheet : public QDialog
{
    Q_OBJECT

public:
    explicit oruProgressSheet(QWidget *parent = nullptr);
    ~oruProgressSheet() override;

    // Shows the sheet with the bar at 0 of maximum.
    void begin(const QString &title, const QString &text, int maximum, bool stoppable);
    void setText(const QString &text);
    void setValue(int value);
    int value() const;
    int maximum() const;
    // Fills the bar and hides the sheet.
    void end();
    // Escape and the window's close button mean stop, never a silent close.
    void reject() override;

signals:
    void stopRequested();

private:
    std::unique_ptr<Ui::ProgressSheet> m_ui;
};

} // namespace pondrel
