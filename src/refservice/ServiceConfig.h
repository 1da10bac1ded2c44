// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace pondrel::refservice {

// Everything the command line decides about one run of the service.
struct ServiceConfig
{
    QString listenHost = QStringLiteral("127.0.0.1");
    quint16 listenPort = 8642;
    QString dataDirectory;
    QString publicUrl; // without a trailing slash
    QString serviceKey = QStringLiteral("pondrel-desktop");
    QString serviceKeyElement = QStringLiteral("serviceKey");
    QString namespaceBase = QStringLiteral("http://services.trevane.com");
    qint64 visitIntervalMs = 60000;
    QString logFile;
    // How RenderPicture commands write their fields: "attributes", "elements" or "mixed".
    QString commandStyle = QStringLiteral("attributes");
    QStringList faults; // OPERATION:KIND[:ARG]
    bool demo = false;
    // Serve the administration paths (faults, ageing sessions, the outbox) to callers that
    // present the token printed at start.
    bool admin = false;
    // PBKDF2 rounds for new password hashes; tests lower it to stay quick.
    int passwordIterations = 600000;
    int maxConnections = 256;
    int maxConnectionsPerAddress = 32;

    QString collectionNamespace() const
    {
        return namespaceBase + QStringLiteral("/Pondrel/CollectionServices");
    }
    QString publishingNamespace() const
    {
        return namespaceBase + QStringLiteral("/Pondrel/PublishingServices");
    }
    QString renditionsDirectory() const { return dataDirectory + QStringLiteral("/renditions"); }
    QString uploadsDirectory() const { return dataDirectory + QStringLiteral("/uploads"); }
    // Request bodies on their way in, each removed when its request ends.
    QString spoolDirectory() const { return dataDirectory + QStringLiteral("/incoming"); }
};

} // namespace pondrel::refservice
