// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDialog>

#include <memory>

namespace pondrel {

namespace Ui {
class Prefs;
}

// The preferences dialog: whether the Agent opens at start-up.
class oruPrefsController : public QDialog
{
    Q_OBJECT

public:
    explicit oruPrefsController(bool autoStart, QWidget *parent = nullptr);
    ~oruPrefsController() override;

    bool autoStart() const;
    void setAutoStart(bool on);

private:
    std::unique_ptr<Ui::Prefs> m_ui;
};

} // namespace pondrel
