// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/PrivateBus.h"
#include "tests/imaging/TestPictures.h"
#include "tests/model/SignedOnTest.h"

#include "client/oruNetwork_photoDB.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace pondrel {

using namespace TestPictures;

// Records the "Visit" notifications seen on a bus.
class VisitListener : public QObject
{
    Q_OBJECT
public:
    bool listen(QDBusConnection bus)
    {
        return bus.connect(QString(), "/com/trevane/pondrel", "com.trevane.pondrel.Notification",
            "Visit", this, SLOT(received(QDBusMessage)));
    }
    // Lets the queued bus messages arrive.
    QStringList drain(int milliseconds)
    {
        const QDeadlineTimer deadline(milliseconds);
        while (objects.isEmpty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return objects;
    }

public slots:
    void received(const QDBusMessage &message)
    {
        objects << message.arguments().value(0).toString();
    }

private:
    QStringList objects;
};

namespace {

// pondrel-tool tells the Agent on the session bus of its environment: this test's own.
class PublishTest : public SignedOnTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_bus.isValid()) << "no private session bus: is dbus-daemon installed?";
        SignedOnTest::SetUp();
    }
    QString makeFile(const QString &relativePath)
    {
        const QString path = m_files.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        if (relativePath.endsWith(".txt"))
            EXPECT_TRUE(writeBytes(path, "notes"));
        else if (relativePath.endsWith(".PNG"))
            EXPECT_TRUE(quadrants(40, 30).save(path, "PNG"));
        else
            EXPECT_TRUE(writeJpeg(path, quadrants(80, 60)));
        return path;
    }
    static ToolRun publish(const QStringList &arguments)
    {
        return runTool(
            QStringList {"publish", "--user", kEmail, "--password", kPassword} + arguments);
    }
    static QString idOf(const QVariantMap &record)
    {
        return record.value("UniqueIdentifier").toString();
    }

    PrivateBus m_bus;
};

TEST_F(PublishTest, FolderTreeBecomesAlbumTreeAndTheAgentIsToldToVisit)
{
    makeFile("Trip/a.jpg");
    makeFile("Trip/notes.txt");
    makeFile("Trip/Day1/b.PNG");
    VisitListener listener;
    ASSERT_TRUE(listener.listen(m_bus.connection()));

    const ToolRun run = publish({"--album", "Web", m_files.filePath("Trip")});
    ASSERT_EQ(run.exitCode, 0) << run.standardError.toStdString();
    EXPECT_TRUE(run.standardOutput.contains(
        QStringLiteral("picture %1\n").arg(m_files.filePath("Trip/a.jpg"))));
    EXPECT_TRUE(run.standardOutput.contains("2 pictures and 3 albums created, 0 failed"))
        << run.standardOutput.toStdString();

    const QMap<QString, QVariantMap> web = assetsIn(idOf(assetsIn("").value("Web")));
    ASSERT_EQ(web.keys(), QStringList {"Trip"});
    const QMap<QString, QVariantMap> trip = assetsIn(idOf(web.value("Trip")));
    EXPECT_EQ(trip.keys(), (QStringList {"Day1", "a.jpg"}));
    const QMap<QString, QVariantMap> day1 = assetsIn(idOf(trip.value("Day1")));
    ASSERT_EQ(day1.keys(), QStringList {"b.PNG"});
    EXPECT_EQ(day1.first().value("MediaType").toString(), "image/png");
    EXPECT_EQ(day1.first().value("PictureFileAssetSharingPermissions").toString(), "31");
    EXPECT_EQ(oruNetworkPhotoDB::allPhotosInDB().value_or(QVariantMap()).size(), 2);

    EXPECT_EQ(listener.drain(5000), QStringList {"com.trevane.oruagent"});
}

TEST_F(PublishTest, ParentOnlyPutsPicturesStraightIntoThatAlbum)
{
    const QString picture = makeFile("c.jpg");
    const ToolRun first = publish({"--album", "Kept", picture});
    ASSERT_EQ(first.exitCode, 0) << first.standardError.toStdString();
    const QString kept = idOf(assetsIn("").value("Kept"));
    ASSERT_FALSE(kept.isEmpty());
    const ToolRun second = publish({"--parent", kept, picture});
    ASSERT_EQ(second.exitCode, 0) << second.standardError.toStdString();
    EXPECT_EQ(assetsIn("").size(), 1);
    EXPECT_EQ(m_network->getAssets(kept).value_or(QVariantList()).size(), 2);
}

TEST_F(PublishTest, FailuresAreNamedPerFileAndGiveStatusOne)
{
    const QString good = makeFile("good.jpg");
    const QString wrongCase = m_files.filePath("photo.Jpg");
    ASSERT_TRUE(QFile::copy(good, wrongCase));
    const QString missing = m_files.filePath("missing.jpg");

    const ToolRun run = publish({"--album", "Mixed", good, wrongCase, missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.standardError.contains(
        QStringLiteral("failed %1: not an accepted picture file").arg(wrongCase)));
    EXPECT_TRUE(run.standardError.contains(QStringLiteral("failed %1:").arg(missing)));
    EXPECT_TRUE(run.standardOutput.contains("1 pictures and 1 albums created, 2 failed"));

    const ToolRun refused = runTool({"publish", "--user", kEmail, "--password", "wrong", good});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.standardError.contains("Sign-on as ann@example.com failed"));
    EXPECT_EQ(runTool({"publish", "--album"}).exitCode, 2);
    EXPECT_EQ(runTool({"publish"}).exitCode, 2);
}

TEST_F(PublishTest, ThePasswordCanComeFromAFileOrStandardInput)
{
    const QString picture = makeFile("a.jpg");
    const QString passwordFile = m_files.filePath("password");
    ASSERT_TRUE(writeBytes(passwordFile, kPassword.toUtf8() + "\n"));
    const QStringList user = {"publish", "--user", kEmail, "--album", "Kept"};

    const ToolRun fromFile = runTool(user + QStringList {"--password-file", passwordFile, picture});
    EXPECT_EQ(fromFile.exitCode, 0) << fromFile.standardError.toStdString();
    const ToolRun fromInput
        = runTool(user + QStringList {"--password-stdin", picture}, kPassword.toUtf8() + "\n");
    EXPECT_EQ(fromInput.exitCode, 0) << fromInput.standardError.toStdString();
    const ToolRun wrong = runTool(user + QStringList {"--password-stdin", picture}, "wrong\n");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_EQ(
        runTool(user + QStringList {"--password-file", m_files.filePath("none"), picture}).exitCode,
        2);

    EXPECT_TRUE(runTool({"publish", "--help"})
                    .standardOutput.contains("visible to every user of this machine"));
}

} // namespace

} // namespace pondrel

#include "PublishTest.moc"
