// SPDX-License-Identifier: GPL-2.0-or-later
#include "agent/AgentTray.h"

#include "agent/oruAgent.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QResource>

namespace pondrel {

// The icons, embedded as one resource bundle (cmake/EmbeddedResources.cmake).
extern const unsigned char agentResourceData[];

namespace {

void initAgentResources()
{
    static const bool registered = QResource::registerResource(agentResourceData);
    Q_UNUSED(registered);
}

} // namespace

AgentTray::AgentTray(oruAgent &agent, QObject *parent)
    : QObject(parent)
    , m_agent(agent)
{
    initAgentResources();
    m_statusMenu.addAction(tr("About Pondrel Agent"), this, &AgentTray::aboutAction);
    m_statusMenu.addAction(tr("Open Pondrel Publisher"), &agent, &oruAgent::openPublisher);
    m_statusMenu.addAction(tr("Visit"), &agent, &oruAgent::visit);
    m_statusMenu.addSeparator();
    m_statusMenu.addAction(tr("Quit"), this, &AgentTray::quitAction);

    m_statusItem.setIcon(QIcon(QStringLiteral(":/agent/menuIcon.svg")));
    m_statusItem.setContextMenu(&m_statusMenu);
    showStatus(tr("Idle"));
    connect(&agent, &oruAgent::statusChanged, this, &AgentTray::showStatus);
    connect(&agent, &oruAgent::quitting, this, [this] {
        m_statusMenu.setEnabled(false);
        m_statusItem.setToolTip(tr("Quitting after the current picture…"));
    });
    m_statusItem.show();
}

bool AgentTray::confirmQuit()
{
    QMessageBox question(
        QMessageBox::Information, tr("Pondrel Agent"), tr("Do you really want to quit?"));
    question.setInformativeText(
        tr("If you quit the Pondrel Agent, your friends and relatives will not be able to "
           "receive wallpapers or order prints from your album."));
    QPushButton *yes = question.addButton(tr("Yes"), QMessageBox::AcceptRole);
    question.addButton(tr("No"), QMessageBox::RejectRole);
    question.setDefaultButton(yes);
    question.exec();
    return question.clickedButton() == yes;
}

void AgentTray::aboutAction()
{
    QMessageBox::about(nullptr, tr("About Pondrel Agent"),
        tr("<b>Pondrel Agent</b> %1<p>Renders the pictures of your albums on this computer "
           "when the service asks for them, so that your friends and relatives can receive "
           "wallpapers and order prints.</p>")
            .arg(QApplication::applicationVersion()));
}

void AgentTray::quitAction()
{
    if (confirmQuit())
        m_agent.quit();
}

void AgentTray::showStatus(const QString &status)
{
    if (m_agent.isQuitting())
        return;
    m_statusItem.setToolTip(status);
}

} // namespace pondrel
