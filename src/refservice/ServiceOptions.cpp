// SPDX-License-Identifier: GPL-2.0-or-later
#include "refservice/ServiceOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>

namespace pondrel::refservice {

namespace {

bool parseListen(const QString &text, ServiceConfig &config, QString &errorMsg)
{
    const qsizetype colon = text.lastIndexOf(u':');
    bool ok = false;
    const uint port = colon < 0 ? 0 : text.mid(colon + 1).toUInt(&ok);
    if (colon <= 0 || !ok || port > 65535) {
        errorMsg = QStringLiteral("--listen wants HOST:PORT, not %1").arg(text);
        return false;
    }
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    config.listenHost = host;
    config.listenPort = quint16(port);
    return true;
}

bool positiveNumber(const QString &text, int &value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed <= 0)
        return false;
    value = parsed;
    return true;
}

QString defaultDataDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("pondrel-refservice"));
}

} // namespace

namespace ServiceOptions {

std::optional<ServiceConfig> parse(const QStringList &arguments, QString &errorMsg)
{
    ServiceConfig config;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local reference implementation of the Pondrel photo-album service: the collection "
        "and publishing SOAP services, BITS uploads and rendition hosting."));
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption listen(QStringLiteral("listen"),
        QStringLiteral("Address to listen on (default 127.0.0.1:8642). Port 0 picks a free port; "
                       "the first line of standard output then reads "
                       "\"listening on http://HOST:PORT\"."),
        QStringLiteral("HOST:PORT"), QStringLiteral("127.0.0.1:8642"));
    const QCommandLineOption data(QStringLiteral("data"),
        QStringLiteral(
            "Folder of the service's state (default $XDG_DATA_HOME/pondrel-refservice)."),
        QStringLiteral("DIR"));
    const QCommandLineOption publicUrl(QStringLiteral("public-url"),
        QStringLiteral("Base of the addresses the service hands out (default the listen address)."),
        QStringLiteral("URL"));
    const QCommandLineOption serviceKey(QStringLiteral("service-key"),
        QStringLiteral("The service key clients must send (default pondrel-desktop)."),
        QStringLiteral("KEY"), config.serviceKey);
    const QCommandLineOption serviceKeyElement(QStringLiteral("service-key-element"),
        QStringLiteral("Element name that carries the service key (default serviceKey)."),
        QStringLiteral("NAME"), config.serviceKeyElement);
    const QCommandLineOption namespaceBase(QStringLiteral("namespace"),
        QStringLiteral("Namespace base of the two services (default http://services.trevane.com)."),
        QStringLiteral("URI"), config.namespaceBase);
    const QCommandLineOption visitInterval(QStringLiteral("visit-interval-ms"),
        QStringLiteral("Interval the service asks workstations to visit at (default 60000)."),
        QStringLiteral("MS"), QString::number(config.visitIntervalMs));
    const QCommandLineOption log(QStringLiteral("log"),
        QStringLiteral("Append one line per request to FILE (never passwords or bodies)."),
        QStringLiteral("FILE"));
    const QCommandLineOption commandStyle(QStringLiteral("command-style"),
        QStringLiteral("How RenderPicture commands carry their fields: attributes, elements or "
                       "mixed (default attributes)."),
        QStringLiteral("STYLE"), config.commandStyle);
    const QCommandLineOption fault(QStringLiteral("fault"),
        QStringLiteral("Misbehave for tests, repeatable: [N*]OPERATION:KIND[:ARG] with KIND "
                       "delay:MS, soapfault:TEXT, http500, drop, lost, empty, html, bits403 "
                       "or bits-no-session; OPERATION a SOAP operation, a BITS packet type, Upload "
                       "or *. Also POST /Pondrel/Admin/Faults."),
        QStringLiteral("FAULT"));
    const QCommandLineOption demo(QStringLiteral("demo"),
        QStringLiteral("Create a demo account with albums and pictures if it is missing, and "
                       "print its e-mail address and password."));
    const QCommandLineOption admin(QStringLiteral("admin"),
        QStringLiteral("Serve the administration paths (/Pondrel/Admin/..., /Pondrel/Outbox) to "
                       "local callers that send the header X-Pondrel-Admin-Token with the token "
                       "printed as \"admin token: TOKEN\" after the listening line."));
    const QCommandLineOption passwordIterations(QStringLiteral("password-iterations"),
        QStringLiteral("PBKDF2 rounds of new password hashes (default %1; lower only for tests).")
            .arg(config.passwordIterations),
        QStringLiteral("N"), QString::number(config.passwordIterations));
    const QCommandLineOption maxConnections(QStringLiteral("max-connections"),
        QStringLiteral("Connections served at once (default %1).").arg(config.maxConnections),
        QStringLiteral("N"), QString::number(config.maxConnections));
    const QCommandLineOption maxPerAddress(QStringLiteral("max-connections-per-address"),
        QStringLiteral("Connections served at once to one client address (default %1).")
            .arg(config.maxConnectionsPerAddress),
        QStringLiteral("N"), QString::number(config.maxConnectionsPerAddress));
    parser.addOptions({help, listen, data, publicUrl, serviceKey, serviceKeyElement, namespaceBase,
        visitInterval, log, commandStyle, fault, demo, admin, passwordIterations, maxConnections,
        maxPerAddress});
    parser.addVersionOption();

    if (!parser.parse(arguments)) {
        errorMsg = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }
    if (!parser.positionalArguments().isEmpty()) {
        errorMsg
            = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return std::nullopt;
    }
    if (!parseListen(parser.value(listen), config, errorMsg))
        return std::nullopt;
    config.dataDirectory = parser.isSet(data) ? parser.value(data) : defaultDataDirectory();
    if (parser.isSet(publicUrl)) {
        const QUrl url(parser.value(publicUrl), QUrl::StrictMode);
        if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
            errorMsg = QStringLiteral("--public-url wants an absolute URL");
            return std::nullopt;
        }
        config.publicUrl = parser.value(publicUrl);
        while (config.publicUrl.endsWith(u'/'))
            config.publicUrl.chop(1);
    }
    config.serviceKey = parser.value(serviceKey);
    config.serviceKeyElement = parser.value(serviceKeyElement);
    config.namespaceBase = parser.value(namespaceBase);
    while (config.namespaceBase.endsWith(u'/'))
        config.namespaceBase.chop(1);
    bool ok = false;
    config.visitIntervalMs = parser.value(visitInterval).toLongLong(&ok);
    if (!ok || config.visitIntervalMs <= 0) {
        errorMsg = QStringLiteral("--visit-interval-ms wants a positive number");
        return std::nullopt;
    }
    config.logFile = parser.value(log);
    config.commandStyle = parser.value(commandStyle);
    if (!QStringList {
            QStringLiteral("attributes"), QStringLiteral("elements"), QStringLiteral("mixed")}
             .contains(config.commandStyle)) {
        errorMsg = QStringLiteral("--command-style wants attributes, elements or mixed");
        return std::nullopt;
    }
    config.faults = parser.values(fault);
    config.demo = parser.isSet(demo);
    config.admin = parser.isSet(admin);
    if (!positiveNumber(parser.value(passwordIterations), config.passwordIterations)
        || !positiveNumber(parser.value(maxConnections), config.maxConnections)
        || !positiveNumber(parser.value(maxPerAddress), config.maxConnectionsPerAddress)) {
        errorMsg = QStringLiteral("--password-iterations, --max-connections and "
                                  "--max-connections-per-address want positive numbers");
        return std::nullopt;
    }
    return config;
}

} // namespace ServiceOptions

} // namespace pondrel::refservice
