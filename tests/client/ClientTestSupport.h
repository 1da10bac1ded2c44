// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "tests/common/LoopbackHttpServer.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScopedEnvironment.h"
#include "tests/common/ScratchHome.h"

#include "client/oruAlert.h"
#include "client/oruNetwork.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace pondrel {

// The program-supplied presenter of a test: keeps every alert instead of showing it.
class RecordingAlert : public oruAlert
{
public:
    void show(const QString &title, const QString &message) override
    {
        shown.append({title, message});
    }
    QList<QPair<QString, QString>> shown;
};

// What a refused or failed sign-on, and a sign-off, must leave behind.
inline void expectSignedOff(const oruNetwork &client)
{
    EXPECT_FALSE(client.isLogged());
    EXPECT_EQ(client.firstName(), QString());
    EXPECT_EQ(client.emailAddress(), QString());
    EXPECT_EQ(client.password(), QString());
    EXPECT_EQ(client.culture(), QString());
}

// A scratch home and a reference service of its own that logs one line per request, with the
// deployment settings pointing at it.
class RefServiceFixture
{
public:
    // Starts the service with those arguments; false (with the reason in errorMsg) when it
    // could not start.
    bool start(const QStringList &serviceArguments = {});
    QString errorMsg() const { return m_errorMsg; }
    // How many requests for the operation the service has answered (with a reply or a fault).
    int requestCount(const QString &operation) const;

    // A client presenting its alerts to the recorder.
    std::unique_ptr<oruNetwork> newClient();
    // A registered client signed on to a new account.
    std::unique_ptr<oruNetwork> signedOnClient(
        const QString &email = QStringLiteral("ada@example.com"));

    // Albums and pictures as the commit of drafts makes them; the identifier, or empty.
    static QString createAlbum(oruNetwork &client, const QString &parent, const QString &name);
    static QString createPicture(oruNetwork &client, const QString &parent, const QString &name);

    static inline const QString kPassword = QStringLiteral("s3cret-words");

    ScratchHome home;
    QTemporaryDir logDir;
    std::shared_ptr<RecordingAlert> alert = std::make_shared<RecordingAlert>();
    std::unique_ptr<RefServiceProcess> service;

private:
    std::unique_ptr<ServiceEnvironment> m_environment;
    QString m_errorMsg;
};

} // namespace pondrel
