// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "tests/common/PrivateBus.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScopedEnvironment.h"
#include "tests/common/ScratchHome.h"

#include "client/oruNetwork.h"
#include "publisher/app/oruController.h"
#include "publisher/app/oruMainWindow.h"
#include "publisher/dialogs/oruAlertPresenter.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace pondrel {

// One Publisher controller in process against a reference service of its own, in a scratch
// home, on a private session bus. Alerts and dialogs nobody queued an answer for are answered
// unattended (default button, dialogs cancelled) and stay in the presenter's history.
class PublisherTest : public ::testing::Test
{
protected:
    static inline const QString kPassword = QStringLiteral("secret-1");

    PublisherTest()
        : m_service({QStringLiteral("--log"), m_home.path() + QStringLiteral("/requests.log")})
    { }

    void SetUp() override
    {
        ASSERT_TRUE(m_bus.isValid()) << "dbus-daemon is needed for the Publisher tests";
        ASSERT_TRUE(m_service.start()) << m_service.errorMsg().toStdString();
        m_environment = std::make_unique<ServiceEnvironment>(m_service.baseUrl());
    }

    void TearDown() override { m_controller.reset(); }

    // Runs start-up to the end of awakeFromNib(), with the window shown.
    oruController &makeController()
    {
        m_controller = std::make_unique<oruController>(m_bus.connection());
        m_controller->alerts().setUnattended(true);
        m_controller->window().resize(800, 600);
        m_controller->window().show();
        m_awake = m_controller->awakeFromNib();
        return *m_controller;
    }

    // Start-up to the end, the first sign-on included (doStartupStuff), waiting for it to
    // settle: either the sign-on finished or the first-run choice was answered.
    oruController &startPublisher()
    {
        oruController &controller = makeController();
        EXPECT_TRUE(m_awake);
        controller.applicationDidFinishLaunching();
        return controller;
    }

    // A new account on the service, made with a client of the test's own.
    void createAccount(const QString &email, const QString &password = kPassword)
    {
        oruNetwork client;
        ASSERT_TRUE(
            client.createNewAccount(QStringLiteral("Ann"), QStringLiteral("Lee"), password, email))
            << client.errorMsg().toStdString();
    }

    // Signs the controller on and waits for the first listing of the top level.
    void signOn(oruController &controller, const QString &email,
        const QString &password = kPassword)
    {
        QSignalSpy listed(&controller, &oruController::refreshed);
        controller.loginWithUser(email, password);
        ASSERT_TRUE(listed.wait(10000)) << "no listing after signing on";
        ASSERT_TRUE(controller.isSignedOn());
    }

    int requestCount(const QString &operation) const
    {
        QFile log(m_home.path() + QStringLiteral("/requests.log"));
        if (!log.open(QIODevice::ReadOnly))
            return 0;
        return static_cast<int>(QString::fromUtf8(log.readAll())
                                    .count(QLatin1Char(' ') + operation + QLatin1Char(' ')));
    }

    QStringList namesInSection(oruController &controller, quint32 tag) const
    {
        QStringList names;
        for (const oruItem &item : controller.pictureViewArrayForTag(tag))
            names.append(item.name());
        return names;
    }

    ScratchHome m_home;
    PrivateBus m_bus;
    RefServiceProcess m_service;
    // The Agent is another program's test; here it must not start.
    ScopedEnvironment m_agentProgram {"PONDREL_AGENT_PROGRAM", "/bin/true"};
    // GLib ends a process whose first session bus goes away, and every test here has a bus of
    // its own: the secret store is tried in a process of its own (PublisherSecretStoreTest).
    ScopedEnvironment m_noSecretStore {"PONDREL_NO_SECRET_STORE", "1"};
    std::unique_ptr<ServiceEnvironment> m_environment;
    std::unique_ptr<oruController> m_controller;
    bool m_awake = false;
};

} // namespace pondrel
