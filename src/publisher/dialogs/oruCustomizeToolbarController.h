// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QListWidget;
class QPushButton;

namespace pondrel {

// The "Customize Toolbar" dialog: the items the toolbar may hold on the left, the toolbar's
// items in order on the right; add, remove, move up and down, restore the defaults. Items that
// are not repeatable leave the left list while they stand in the toolbar.
class oruCustomizeToolbarController : public QDialog
{
    Q_OBJECT

public:
    struct Catalogue
    {
        QStringList allowed;
        QStringList defaults;
        std::function<QString(const QString &)> label;
        std::function<bool(const QString &)> repeatable;
    };

    oruCustomizeToolbarController(
        Catalogue catalogue, const QStringList &current, QWidget *parent = nullptr);

    // The toolbar's identifiers as the user left them.
    QStringList items() const;

    void addSelected();
    void removeSelected();
    void moveSelected(int step);
    void restoreDefaults();

private:
    void fill(const QStringList &toolbarItems);
    void updateButtons();

    Catalogue m_catalogue;
    QListWidget *m_available = nullptr;
    QListWidget *m_toolbar = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_remove = nullptr;
    QPushButton *m_up = nullptr;
    QPushButton *m_down = nullptr;
};

} // namespace pondrel
