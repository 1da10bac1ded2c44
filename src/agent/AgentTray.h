// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

namespace pondrel {

class oruAgent;

// The Agent's item in the panel: its icon, a tooltip that says what the visit cycle is doing,
// and the menu About, Open Publisher, Visit, Quit.
class AgentTray : public QObject
{
    Q_OBJECT

public:
    explicit AgentTray(oruAgent &agent, QObject *parent = nullptr);

    QSystemTrayIcon &statusItem() { return m_statusItem; }
    QMenu &statusMenu() { return m_statusMenu; }

    // Asks "Do you really want to quit?"; true when the user chose "Yes".
    static bool confirmQuit();

public slots:
    void aboutAction();
    void quitAction();

private:
    void showStatus(const QString &status);

    oruAgent &m_agent;
    QMenu m_statusMenu;
    QSystemTrayIcon m_statusItem;
};

} // namespace pondrel
