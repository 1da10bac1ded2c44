#include "TestJpeg.h"

#include "RefServiceProcess.h"
#include "ScratchHome.h"
#include "client/oruNetwork.h"
#include "client/oruNetwork_photoDB.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};

ToolRun runTool(const QStringList &arguments)
{
    QProcess process;
    process.start(
        qEnvironmentVariable("PONDREL_BIN_DIR") + QStringLiteral("/pondrel-tool"), arguments);
    process.waitForFinished(120'000);
    return ToolRun {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromUtf8(process.readAllStandardOutput()),
        QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

// Records the "Visit" notifications seen on the session bus.
class VisitListener : public QObject
{
    Q_OBJECT
public:
    bool listen()
    {
        return QDBusConnection::sessionBus().connect(QString(),
            QStringLiteral("/com/trevane/pondrel"),
            QStringLiteral("com.trevane.pondrel.Notification"), QStringLiteral("Visit"), this,
            SLOT(received(QDBusMessage)));
    }
    // Lets the queued bus messages arrive.
    void drain(int milliseconds)
    {
        const QDeadlineTimer deadline(milliseconds);
        while (m_objects.isEmpty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    QStringList objects() const { return m_objects; }

public slots:
    void received(const QDBusMessage &message)
    {
        m_objects << message.arguments().value(0).toString();
    }

private:
    QStringList m_objects;
};

namespace {

class PublishTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_service.start()) << m_service.errorMsg().toStdString();
        qputenv("PONDREL_SERVICE_URL", m_service.baseUrl().toUtf8());
        m_network = std::make_unique<oruNetwork>();
        ASSERT_TRUE(m_network->registerComputerIfNeeded());
        ASSERT_TRUE(m_network->createNewAccount(QStringLiteral("Ann"), QStringLiteral("Lee"),
            QStringLiteral("secret1"), QStringLiteral("ann@example.com")));
        ASSERT_TRUE(
            m_network->signOn(QStringLiteral("ann@example.com"), QStringLiteral("secret1")));
    }

    void TearDown() override { qunsetenv("PONDREL_SERVICE_URL"); }

    QString makeFile(const QString &relativePath)
    {
        const QString path = m_files.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        if (relativePath.endsWith(QLatin1String(".txt"))) {
            QFile text(path);
            EXPECT_TRUE(text.open(QIODevice::WriteOnly));
            text.write("notes");
        } else if (relativePath.endsWith(QLatin1String(".PNG"))) {
            EXPECT_TRUE(TestJpeg::quadrants(40, 30).save(path, "PNG"));
        } else {
            EXPECT_TRUE(TestJpeg::write(path, TestJpeg::quadrants(80, 60)));
        }
        return path;
    }

    // Name -> record of the assets under parent.
    QMap<QString, QVariantMap> assetsIn(const QString &parent)
    {
        QMap<QString, QVariantMap> byName;
        for (const QVariant &record : m_network->getAssets(parent).value_or(QVariantList()))
            byName.insert(record.toMap().value(QStringLiteral("Name")).toString(), record.toMap());
        return byName;
    }

    static QString idOf(const QVariantMap &record)
    {
        return record.value(QStringLiteral("UniqueIdentifier")).toString();
    }

    const QStringList m_account {QStringLiteral("publish"), QStringLiteral("--user"),
        QStringLiteral("ann@example.com"), QStringLiteral("--password"), QStringLiteral("secret1")};
    ScratchHome m_home;
    RefServiceProcess m_service;
    QTemporaryDir m_files;
    std::unique_ptr<oruNetwork> m_network;
};

TEST_F(PublishTest, FolderTreeBecomesAlbumTreeAndTheAgentIsToldToVisit)
{
    makeFile(QStringLiteral("Trip/a.jpg"));
    makeFile(QStringLiteral("Trip/notes.txt"));
    makeFile(QStringLiteral("Trip/Day1/b.PNG"));
    VisitListener listener;
    const bool hasBus = listener.listen();

    const ToolRun run = runTool(m_account
        + QStringList {QStringLiteral("--album"), QStringLiteral("Web"),
            m_files.filePath(QStringLiteral("Trip"))});
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_TRUE(run.standardOutput.contains(
        QStringLiteral("picture %1\n").arg(m_files.filePath(QStringLiteral("Trip/a.jpg")))));
    EXPECT_TRUE(
        run.standardOutput.contains(QStringLiteral("2 pictures and 3 albums created, 0 failed")))
        << run.standardOutput.toStdString();

    const QMap<QString, QVariantMap> top = assetsIn(QStringLiteral(""));
    ASSERT_TRUE(top.contains(QStringLiteral("Web")));
    const QMap<QString, QVariantMap> web = assetsIn(idOf(top.value(QStringLiteral("Web"))));
    ASSERT_EQ(web.keys(), QStringList {QStringLiteral("Trip")});
    const QMap<QString, QVariantMap> trip = assetsIn(idOf(web.value(QStringLiteral("Trip"))));
    EXPECT_EQ(trip.keys(), (QStringList {QStringLiteral("Day1"), QStringLiteral("a.jpg")}));
    const QMap<QString, QVariantMap> day1 = assetsIn(idOf(trip.value(QStringLiteral("Day1"))));
    ASSERT_EQ(day1.keys(), QStringList {QStringLiteral("b.PNG")});
    EXPECT_EQ(day1.first().value(QStringLiteral("MediaType")).toString(), "image/png");
    EXPECT_EQ(
        day1.first().value(QStringLiteral("PictureFileAssetSharingPermissions")).toString(), "31");
    EXPECT_EQ(oruNetworkPhotoDB::allPhotosInDB().value_or(QVariantMap()).size(), 2);

    if (!hasBus)
        GTEST_SKIP() << "no session bus: the Visit notification was not checked";
    listener.drain(5000);
    EXPECT_EQ(listener.objects(), QStringList {QStringLiteral("com.trevane.oruagent")});
}

TEST_F(PublishTest, ParentOnlyPutsPicturesStraightIntoThatAlbum)
{
    const QString picture = makeFile(QStringLiteral("c.jpg"));
    const ToolRun first = runTool(
        m_account + QStringList {QStringLiteral("--album"), QStringLiteral("Kept"), picture});
    ASSERT_EQ(first.exitCode, 0) << first.standardError.toStdString();
    const QString kept = idOf(assetsIn(QStringLiteral("")).value(QStringLiteral("Kept")));
    ASSERT_FALSE(kept.isEmpty());

    const ToolRun second
        = runTool(m_account + QStringList {QStringLiteral("--parent"), kept, picture});
    ASSERT_EQ(second.exitCode, 0) << second.standardError.toStdString();
    EXPECT_EQ(assetsIn(QStringLiteral("")).size(), 1);
    EXPECT_EQ(m_network->getAssets(kept).value_or(QVariantList()).size(), 2);
}

TEST_F(PublishTest, FailuresAreNamedPerFileAndGiveStatusOne)
{
    const QString good = makeFile(QStringLiteral("good.jpg"));
    const QString wrongCase = m_files.filePath(QStringLiteral("photo.Jpg"));
    ASSERT_TRUE(QFile::copy(good, wrongCase));
    const QString missing = m_files.filePath(QStringLiteral("missing.jpg"));

    const ToolRun run = runTool(m_account
        + QStringList {
            QStringLiteral("--album"), QStringLiteral("Mixed"), good, wrongCase, missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.standardError.contains(
        QStringLiteral("failed %1: not an accepted picture file").arg(wrongCase)));
    EXPECT_TRUE(run.standardError.contains(QStringLiteral("failed %1:").arg(missing)));
    EXPECT_TRUE(
        run.standardOutput.contains(QStringLiteral("1 pictures and 1 albums created, 2 failed")));

    const ToolRun refused = runTool(QStringList {QStringLiteral("publish"),
        QStringLiteral("--user"), QStringLiteral("ann@example.com"), QStringLiteral("--password"),
        QStringLiteral("wrong"), good});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(
        refused.standardError.contains(QStringLiteral("Sign-on as ann@example.com failed")));

    EXPECT_EQ(runTool({QStringLiteral("publish"), QStringLiteral("--album")}).exitCode, 2);
    EXPECT_EQ(runTool({QStringLiteral("publish")}).exitCode, 2);
}

} // namespace

#include "PublishTest.moc"
