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
    int threads = 8;
    // How RenderPicture commands write their fields: "attributes", "elements" or "mixed".
    QString commandStyle = QStringLiteral("attributes");
    QStringList faults; // OPERATION:KIND[:ARG]
    bool demo = false;

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
};

} // namespace pondrel::refservice
