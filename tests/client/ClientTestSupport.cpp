// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/client/ClientTestSupport.h"

#include <QFile>
#include <QUuid>

namespace pondrel {

bool RefServiceFixture::start(const QStringList &serviceArguments)
{
    service = std::make_unique<RefServiceProcess>(serviceArguments
        + QStringList {QStringLiteral("--log"), logDir.filePath(QStringLiteral("requests.log"))});
    if (!service->start()) {
        m_errorMsg = service->errorMsg();
        return false;
    }
    m_environment = std::make_unique<ServiceEnvironment>(service->baseUrl());
    return true;
}

int RefServiceFixture::requestCount(const QString &operation) const
{
    QFile log(logDir.filePath(QStringLiteral("requests.log")));
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    const QByteArray needle = ' ' + operation.toUtf8() + ' ';
    while (!log.atEnd()) {
        if (log.readLine().contains(needle))
            ++count;
    }
    return count;
}

std::unique_ptr<oruNetwork> RefServiceFixture::newClient()
{
    return std::make_unique<oruNetwork>(alert);
}

std::unique_ptr<oruNetwork> RefServiceFixture::signedOnClient(const QString &email)
{
    std::unique_ptr<oruNetwork> client = newClient();
    if (!client->registerComputerIfNeeded()
        || !client->createNewAccount(
            QStringLiteral("Ada"), QStringLiteral("Lovelace"), kPassword, email)
        || !client->signOn(email, kPassword))
        return nullptr;
    return client;
}

QString RefServiceFixture::createAlbum(
    oruNetwork &client, const QString &parent, const QString &name)
{
    const QVariantMap reply = client.publishingServices().CreateFolderAsset(
        {client.sessionIdentifier(), parent, name, QStringLiteral("an album"),
            QStringLiteral("Unrated"), QStringLiteral("ThumbnailFirstImage"), 0u});
    return reply.contains(QStringLiteral("error"))
        ? QString()
        : reply.value(QStringLiteral("CreateFolderAssetResult")).toString();
}

QString RefServiceFixture::createPicture(
    oruNetwork &client, const QString &parent, const QString &name)
{
    const QVariantMap reply = client.publishingServices().CreatePictureFileAsset(
        {client.sessionIdentifier(), parent, name, QStringLiteral("a picture"),
            QStringLiteral("image/jpeg"), QStringLiteral("Unrated"),
            QStringLiteral("2008-03-01T14:05:09Z"), QStringLiteral("2008-03-02T10:00:00Z"),
            qint64(123456), QStringLiteral("0123456789abcdef0123456789abcdef01234567"),
            oruNetwork::stringWithUUID(), 7u, 2000, 3000, QStringLiteral("RotateNoneFlipNone"),
            QStringLiteral("2008-03-01T13:00:00Z")});
    return reply.contains(QStringLiteral("error"))
        ? QString()
        : reply.value(QStringLiteral("CreatePictureFileAssetResult")).toString();
}

} // namespace pondrel
