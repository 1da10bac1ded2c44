// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>

#include <memory>

class QDialog;
class QLabel;
class QTextBrowser;
namespace pondrel {

namespace Ui {
class AboutBox;
}

// The application's single About panel, built on first use and filled once.
class oruAboutBoxController : public QObject
{
    Q_OBJECT

public:
    static oruAboutBoxController &sharedInstance();
    ~oruAboutBoxController() override;

    // Shows the panel in front; credits start at the top whenever it was hidden.
    void showPanel();
    // The panel once shown, else none.
    QDialog *panel() const { return window.get(); }

private:
    oruAboutBoxController();
    void fillPanel();

    std::unique_ptr<QDialog> window;
    std::unique_ptr<Ui::AboutBox> ui;
};

} // namespace pondrel
