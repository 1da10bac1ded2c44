#include "RefServiceProcess.h"
#include "ScratchHome.h"
#include "client/oruNetwork.h"
#include "support/Preferences.h"
#include "support/Values.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kEmail = QStringLiteral("road@example.com");
const QString kPassword = QStringLiteral("secret1");
// Rendering twenty pictures at two sizes on a loaded machine takes a while; the wait ends as
// soon as everything is there.
constexpr int kRenditionWaitMilliseconds = 180'000;

size_t appendToBuffer(char *data, size_t size, size_t count, void *buffer)
{
    static_cast<QByteArray *>(buffer)->append(data, qsizetype(size * count));
    return size * count;
}

QByteArray download(const QString &url)
{
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(
        curl_easy_init(), curl_easy_cleanup);
    QByteArray body;
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(curl.get(), CURLOPT_URL, address.constData());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, appendToBuffer);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 30L);
    return curl_easy_perform(curl.get()) == CURLE_OK ? body : QByteArray();
}

// The "Url" of each rendition of a picture record, by name.
QMap<QString, QString> renditionUrls(const QVariantMap &picture)
{
    QMap<QString, QString> urls;
    const QVariantMap renditions
        = picture.value(QStringLiteral("PictureFileAssetRenditions")).toMap();
    for (const QVariant &rendition :
        Values::asList(renditions.value(QStringLiteral("PictureFileAssetRendition")))) {
        const QVariantMap record = rendition.toMap();
        urls.insert(record.value(QStringLiteral("Name")).toString(),
            record.value(QStringLiteral("Url")).toString());
    }
    return urls;
}

bool hasBothRenditions(const QVariantMap &picture)
{
    const QMap<QString, QString> urls = renditionUrls(picture);
    return urls.contains(QStringLiteral("Thumbnail")) && urls.contains(QStringLiteral("Preview"));
}

// Mean absolute difference per channel of two pictures shrunk to one small size.
double difference(const QImage &a, const QImage &b)
{
    const QSize size(32, 32);
    const QImage x = a.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    const QImage y = b.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    double total = 0;
    for (int row = 0; row < size.height(); ++row) {
        for (int column = 0; column < size.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q))
                + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return total / (3.0 * size.width() * size.height());
}

// The Agent offers its remote object once its notification observers are in place.
bool waitUntilAgentListens()
{
    const QDeadlineTimer deadline(20'000);
    while (!deadline.hasExpired()) {
        const QDBusMessage reply = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(QStringLiteral("com.trevane.oru_agent"),
                QStringLiteral("/oruAgentSrvr"), QStringLiteral("com.trevane.oruAgentSrvr"),
                QStringLiteral("getOfflineStatusRequest"))
            << QStringLiteral("status"));
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        QThread::msleep(100);
    }
    return false;
}

// The road of a picture with the real programs: pondrel-tool publish creates the pictures,
// tells the Agent to visit, the Agent renders and uploads, the service serves the renditions.
TEST(PublishEndToEnd, EveryExamplePictureGetsUprightRenditions)
{
    const QString examples = QStringLiteral(PONDREL_EXIF_TESTDATA);
    if (!QFileInfo(examples).isDir())
        GTEST_SKIP() << "example pictures not found at " << examples.toStdString();
    const QString agentProgram = qEnvironmentVariable("PONDREL_BIN_DIR") + "/pondrel-agent";
    if (!QFileInfo(agentProgram).isExecutable())
        GTEST_SKIP() << "pondrel-agent is not built";
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (run under dbus-run-session)";

    ScratchHome home;
    RefServiceProcess service;
    ASSERT_TRUE(service.start()) << service.errorMsg().toStdString();
    qputenv("PONDREL_SERVICE_URL", service.baseUrl().toUtf8());
    oruNetwork network;
    ASSERT_TRUE(network.registerComputerIfNeeded()) << network.errorMsg().toStdString();
    ASSERT_TRUE(network.createNewAccount(
        QStringLiteral("Road"), QStringLiteral("Test"), kPassword, kEmail));
    ASSERT_TRUE(network.signOn(kEmail, kPassword)) << network.errorMsg().toStdString();
    // What the Publisher leaves behind after a sign-on, and the Agent reads.
    Preferences::shared().setValue(QStringLiteral("LastLogin"), kEmail);
    Preferences::shared().setValue(QStringLiteral("LastPwd"), kPassword);

    QProcess agent;
    agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    agent.start(agentProgram, {QStringLiteral("--headless")});
    ASSERT_TRUE(agent.waitForStarted()) << agent.errorString().toStdString();
    ASSERT_TRUE(waitUntilAgentListens()) << "the Agent never answered on the bus";

    QProcess tool;
    tool.start(qEnvironmentVariable("PONDREL_BIN_DIR") + "/pondrel-tool",
        {QStringLiteral("publish"), QStringLiteral("--album"), QStringLiteral("Road"), examples});
    ASSERT_TRUE(tool.waitForFinished(120'000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();

    QString roadId;
    for (const QVariant &record : network.getAssets(QStringLiteral("")).value_or(QVariantList()))
        if (record.toMap().value(QStringLiteral("Name")) == "Road")
            roadId = record.toMap().value(QStringLiteral("UniqueIdentifier")).toString();
    ASSERT_FALSE(roadId.isEmpty());
    QString folderId;
    for (const QVariant &record : network.getAssets(roadId).value_or(QVariantList()))
        folderId = record.toMap().value(QStringLiteral("UniqueIdentifier")).toString();
    ASSERT_FALSE(folderId.isEmpty());

    const qsizetype expected
        = QDir(examples).entryList({QStringLiteral("*.jpg")}, QDir::Files).size();
    QVariantList pictures;
    const QDeadlineTimer deadline(kRenditionWaitMilliseconds);
    while (!deadline.hasExpired()) {
        pictures = network.getAssets(folderId).value_or(QVariantList());
        if (pictures.size() == expected
            && std::all_of(pictures.cbegin(), pictures.cend(),
                [](const QVariant &picture) { return hasBothRenditions(picture.toMap()); }))
            break;
        QThread::msleep(500);
    }
    agent.terminate();
    agent.waitForFinished(10'000);
    ASSERT_EQ(pictures.size(), expected);

    // Every rendering of one scene looks like the upright one of its kind.
    QMap<QString, QImage> uprightPreview;
    for (const QString &kind : {QStringLiteral("Landscape"), QStringLiteral("Portrait")})
        uprightPreview.insert(kind, QImage(examples + "/" + kind + "_1.jpg"));
    for (const QVariant &value : pictures) {
        const QVariantMap picture = value.toMap();
        const QString name = picture.value(QStringLiteral("Name")).toString();
        ASSERT_TRUE(hasBothRenditions(picture)) << name.toStdString() << " has no renditions";
        const QString kind = name.section(QLatin1Char('_'), 0, 0);
        for (const QString &url : renditionUrls(picture)) {
            const QImage rendition = QImage::fromData(download(url), "JPEG");
            ASSERT_FALSE(rendition.isNull()) << url.toStdString();
            if (kind == QLatin1String("Landscape"))
                EXPECT_GT(rendition.width(), rendition.height()) << name.toStdString();
            else
                EXPECT_GT(rendition.height(), rendition.width()) << name.toStdString();
            EXPECT_LT(difference(rendition, uprightPreview.value(kind)), 20.0)
                << name.toStdString() << " " << url.toStdString();
        }
    }
    qunsetenv("PONDREL_SERVICE_URL");
}

} // namespace
