// SPDX-License-Identifier: GPL-2.0-or-later
#include "tool/ToolCommand.h"

#include "client/oruNetwork.h"
#include "client/oruNotifications.h"
#include "model/AcceptedPictureFiles.h"
#include "model/oruItem.h"
#include "model/oruNetwork_upload.h"
#include "support/AliasFiles.h"
#include "support/Preferences.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace pondrel {

namespace {

const QString kUsage = QStringLiteral(
    "Usage:\n"
    "  pondrel-tool publish [--user EMAIL] [--password-stdin | --password-file FILE | --password "
    "PW]\n"
    "                       [--album NAME] [--parent ID] PATH...\n\n"
    "Signs on (registering this computer when needed), creates the album NAME under the album\n"
    "ID (the top level by default) and creates every picture file of the PATHs in it: a folder\n"
    "becomes an album of its own, recursively; files of other types inside folders are skipped.\n"
    "With --parent and no --album the pictures go straight into the album ID; with neither, the\n"
    "new album is named \"Published YYYY-MM-DD HH:MM\". EMAIL and PW default to the shared\n"
    "settings \"LastLogin\" and \"LastPwd\". --password-stdin reads the password from the first\n"
    "line of standard input, --password-file from the first line of FILE. Beware: --password PW\n"
    "is visible to every user of this machine (in the process list) while the tool runs.\n\n"
    "Prints one line per album (\"album ID PATH-OR-NAME\") and picture (\"picture PATH\")\n"
    "created, and a summary; then asks the Agent to visit the service at once so that it renders\n"
    "the new pictures, and signs off. Exit status 1 when anything failed, with the reason per\n"
    "file on standard error.\n");

// The permissions of a new draft album, which its pictures start from.
constexpr quint32 kAlbumPermissions = 3;

enum class PasswordSource { ArgumentOrSettings, StandardInput, File };

struct PublishOptions
{
    QString user;
    QString password;
    PasswordSource passwordSource = PasswordSource::ArgumentOrSettings;
    QString passwordFile;
    std::optional<QString> album;
    std::optional<QString> parent;
    QStringList paths;
};

struct Tally
{
    int albums = 0;
    int pictures = 0;
    int failures = 0;
};

// The first line of the device, without its line end; none when nothing can be read.
std::optional<QString> firstLine(QIODevice &device)
{
    QByteArray line = device.readLine(64 * 1024);
    if (line.isEmpty() && !device.atEnd())
        return std::nullopt;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

bool readPassword(PublishOptions &options, QString &complaint)
{
    std::optional<QString> password;
    if (options.passwordSource == PasswordSource::StandardInput) {
        QFile input;
        if (input.open(stdin, QIODevice::ReadOnly))
            password = firstLine(input);
        if (!password)
            complaint = QStringLiteral("no password could be read from standard input");
    } else if (options.passwordSource == PasswordSource::File) {
        QFile file(options.passwordFile);
        if (file.open(QIODevice::ReadOnly))
            password = firstLine(file);
        if (!password)
            complaint = QStringLiteral("the password file %1 cannot be read: %2")
                            .arg(options.passwordFile, file.errorString());
    } else {
        return true;
    }
    if (password)
        options.password = *password;
    return password.has_value();
}

std::optional<PublishOptions> parseOptions(const QStringList &arguments, QString &complaint)
{
    PublishOptions options;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QString &argument = arguments.at(index);
        const bool takesValue = argument == QLatin1String("--user")
            || argument == QLatin1String("--password") || argument == QLatin1String("--album")
            || argument == QLatin1String("--parent")
            || argument == QLatin1String("--password-file");
        if (argument == QLatin1String("--password-stdin")) {
            options.passwordSource = PasswordSource::StandardInput;
            continue;
        }
        if (!takesValue) {
            if (argument.startsWith(QLatin1String("--"))) {
                complaint = QStringLiteral("unknown option %1").arg(argument);
                return std::nullopt;
            }
            options.paths << argument;
            continue;
        }
        if (index + 1 >= arguments.size()) {
            complaint = QStringLiteral("%1 needs a value").arg(argument);
            return std::nullopt;
        }
        const QString value = arguments.at(++index);
        if (argument == QLatin1String("--user"))
            options.user = value;
        else if (argument == QLatin1String("--password"))
            options.password = value;
        else if (argument == QLatin1String("--password-file")) {
            options.passwordSource = PasswordSource::File;
            options.passwordFile = value;
        } else if (argument == QLatin1String("--album"))
            options.album = value;
        else
            options.parent = value;
    }
    if (options.paths.isEmpty()) {
        complaint = QStringLiteral("no PATH given");
        return std::nullopt;
    }
    if (!readPassword(options, complaint))
        return std::nullopt;
    return options;
}

class Publisher
{
public:
    explicit Publisher(oruNetwork &network)
        : m_network(network)
    { }

    std::optional<QString> createAlbum(
        const QString &name, const QString &shownAs, const QString &parent)
    {
        oruItem album = oruItem::initWithEmptyAlbum();
        album.setName(name);
        const std::optional<QString> id
            = oruNetworkUpload::uploadFolderItem(m_network, album, parent);
        if (!id) {
            fail(shownAs, m_network.errorMsg());
            return std::nullopt;
        }
        ++m_tally.albums;
        ToolOutput::out(QStringLiteral("album %1 %2").arg(*id, shownAs));
        return id;
    }

    void publishPath(const QString &path, const QString &parent, bool namedByUser)
    {
        const QFileInfo info(path);
        if (info.isDir()) {
            publishFolder(path, parent);
        } else if (!info.exists()) {
            fail(path, QStringLiteral("no such file or folder"));
        } else if (AcceptedPictureFiles::isValidFile(path)) {
            publishPicture(path, parent);
        } else if (namedByUser) {
            fail(path, QStringLiteral("not an accepted picture file"));
        }
    }

    const Tally &tally() const { return m_tally; }

private:
    void publishFolder(const QString &path, const QString &parent)
    {
        const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
        const std::optional<QString> album = createAlbum(name, path, parent);
        if (!album)
            return;
        const QFileInfoList entries
            = QDir(path).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &entry : entries)
            publishPath(entry.filePath(), *album, false);
    }

    void publishPicture(const QString &path, const QString &parent)
    {
        const oruItem item
            = oruItem::initWithFile(AliasFiles::resolveAliasFile(path), kAlbumPermissions);
        if (!oruNetworkUpload::uploadPictureAsset(m_network, item, parent)) {
            fail(path, m_network.errorMsg());
            return;
        }
        ++m_tally.pictures;
        ToolOutput::out(QStringLiteral("picture %1").arg(path));
    }

    void fail(const QString &what, const QString &reason)
    {
        ++m_tally.failures;
        ToolOutput::err(QStringLiteral("failed %1: %2").arg(what, reason));
    }

    oruNetwork &m_network;
    Tally m_tally;
};

// The Agent renders at its next visit anyway; the notification only brings that visit forward,
// so a missing session bus is reported but is no failure of the publication.
void askAgentToVisit()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QString errorMsg;
    if (!oruNotifications::post(
            oruNotifications::kVisit, oruNotifications::kAgentObject, {}, bus, &errorMsg)) {
        ToolOutput::err(QStringLiteral("note: the Agent could not be told to visit now (%1); it "
                                       "will render the pictures at its next visit")
                            .arg(errorMsg));
        return;
    }
    // Qt sends in the background and the tool exits right after: one call answered by the bus,
    // queued behind the notification, makes sure the notification has left.
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus.Peer"),
        QStringLiteral("Ping")));
}

QString defaultAlbumName()
{
    return QStringLiteral("Published %1")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

int publish(const PublishOptions &options)
{
    const Preferences shared = Preferences::shared();
    const QString user = options.user.isEmpty()
        ? shared.value(QStringLiteral("LastLogin")).toString()
        : options.user;
    const QString password
        = options.password.isEmpty() && options.passwordSource == PasswordSource::ArgumentOrSettings
        ? shared.value(QStringLiteral("LastPwd")).toString()
        : options.password;
    if (user.isEmpty()) {
        ToolOutput::err(QStringLiteral("No account: give --user (no \"LastLogin\" is saved)"));
        return ToolCommand::kFailure;
    }

    oruNetwork network;
    network.makeUserAgent();
    if (!network.registerComputerIfNeeded() || !network.signOn(user, password)) {
        ToolOutput::err(QStringLiteral("Sign-on as %1 failed: %2").arg(user, network.errorMsg()));
        return ToolCommand::kFailure;
    }

    Publisher publisher(network);
    QString parent = options.parent.value_or(QStringLiteral(""));
    if (options.album || !options.parent) {
        const QString name = options.album.value_or(defaultAlbumName());
        const std::optional<QString> album = publisher.createAlbum(name, name, parent);
        if (album)
            parent = *album;
    }
    if (publisher.tally().failures == 0) {
        for (const QString &path : options.paths)
            publisher.publishPath(path, parent, true);
    }

    const Tally &tally = publisher.tally();
    ToolOutput::out(QStringLiteral("%1 pictures and %2 albums created, %3 failed")
                        .arg(tally.pictures)
                        .arg(tally.albums)
                        .arg(tally.failures));
    if (tally.pictures > 0)
        askAgentToVisit();
    network.signOff();
    return tally.failures == 0 ? ToolCommand::kSuccess : ToolCommand::kFailure;
}

int runPublish(const ToolCommand &self, const QStringList &arguments)
{
    QString complaint;
    const std::optional<PublishOptions> options = parseOptions(arguments, complaint);
    if (!options)
        return self.badUsage(complaint);
    return publish(*options);
}

const ToolCommandRegistration registration {ToolCommand {QStringLiteral("publish"),
    QStringLiteral("create albums and pictures on the service from local files"), kUsage,
    runPublish}};

} // namespace

} // namespace pondrel
