// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"
#include "tests/support/QtPrinters.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/StandardErrorCapture.h"

#include "support/Preferences.h"
#include "support/PropertyList.h"
#include "support/Values.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/stat.h>

namespace pondrel {

namespace {

QVariantMap bigDictionary(const QString &filler)
{
    QVariantMap dictionary;
    for (int i = 0; i < 3000; ++i)
        dictionary.insert(QStringLiteral("key-%1").arg(i), filler.repeated(20));
    return dictionary;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What python3's plistlib makes of a file, as Python prints it.
QString readByPlistlib(const QString &path)
{
    const ProgramRun python = ProgramRun::run(QStringLiteral("python3"),
        {QStringLiteral("-c"),
            QStringLiteral("import plistlib, sys; print(plistlib.load(open(sys.argv[1], 'rb')))"),
            path});
    return python.standardOutput.trimmed();
}

bool writeByPlistlib(const QString &pythonValue, const QString &path, bool binary = false)
{
    const QString script
        = QStringLiteral(
            "import plistlib, sys, datetime; plistlib.dump(%1, open(sys.argv[1], 'wb')%2)")
              .arg(pythonValue, binary ? QStringLiteral(", fmt=plistlib.FMT_BINARY") : QString());
    return ProgramRun::run(QStringLiteral("python3"), {QStringLiteral("-c"), script, path}).exitCode
        == 0;
}

// The permission bits of a file; all ones when it cannot be examined.
unsigned modeOf(const QString &path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 0777
                                                                     : 0777u;
}

} // namespace

// A reader in another thread keeps reading while the file is replaced again and again: every
// read must find one whole list or the other, never a mixture or a truncated file.
TEST(PropertyList, ReplacesAFileSoThatReadersNeverSeeHalfOfIt)
{
    ScratchHome home;
    const QString path = home.dataHome() + "/Pondrel_DB.plist";
    const QVariantMap first = bigDictionary("first");
    const QVariantMap second = bigDictionary("second");
    ASSERT_TRUE(PropertyList::saveToPList(first, path));

    std::atomic<bool> writing {true};
    std::atomic<int> failedSaves {0};
    std::thread writer([&] {
        for (int round = 0; round < 60; ++round) {
            if (!PropertyList::saveToPList(round % 2 ? first : second, path))
                ++failedSaves;
        }
        writing = false;
    });
    int reads = 0;
    int partialReads = 0;
    while (writing) {
        const std::optional<QVariant> read = PropertyList::parse(contentsOf(path));
        ++reads;
        if (!read || (read->toMap() != first && read->toMap() != second))
            ++partialReads;
    }
    writer.join();
    EXPECT_EQ(failedSaves, 0);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(partialReads, 0);
    EXPECT_EQ(QDir(home.dataHome()).entryList(QDir::Files), QStringList {"Pondrel_DB.plist"});
}

TEST(PropertyList, AValueWithoutPropertyListFormLeavesTheOldFileAndReportsFalse)
{
    ScratchHome home;
    ASSERT_TRUE(Preferences::shared().setValue("Debug", true));
    const QString path = home.dataHome() + "/drafts.plist";
    ASSERT_TRUE(PropertyList::saveToPList(QVariantList {"kept"}, path));
    const QByteArray before = contentsOf(path);

    StandardErrorCapture standardError;
    EXPECT_FALSE(
        PropertyList::saveToPList(QVariantList {"new", QImage(2, 2, QImage::Format_RGB32)}, path));
    EXPECT_FALSE(PropertyList::saveToPList(QVariantMap {{"album", Values::nullMarker()}}, path));
    EXPECT_TRUE(standardError.captured().contains("no property-list form"));
    EXPECT_EQ(contentsOf(path), before);
    EXPECT_EQ(QDir(home.dataHome()).entryList(QDir::Files), QStringList {"drafts.plist"});

    // A file that cannot be written is a failure too, not a success.
    EXPECT_FALSE(
        PropertyList::saveToPList(QVariantList {"x"}, home.dataHome() + "/no/such/folder/x.plist"));
}

TEST(PropertyList, MissingOrBrokenFilesReadAsNone)
{
    ScratchHome home;
    ASSERT_TRUE(Preferences::shared().setValue("Debug", true));
    StandardErrorCapture standardError;
    EXPECT_FALSE(PropertyList::initFromPlist(home.dataHome() + "/missing.plist"));
    EXPECT_TRUE(standardError.captured().isEmpty());

    const QString broken = home.dataHome() + "/broken.plist";
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>");
    file.close();
    EXPECT_FALSE(PropertyList::initFromPlist(broken));
    EXPECT_FALSE(standardError.captured().isEmpty());
    EXPECT_FALSE(PropertyList::dictionaryFromPlist(broken));
}

// libplist asserts, ending the process, when it copies out a string or key holding a zero byte.
TEST(PropertyList, ZeroBytesInTextNeverEndTheProcess)
{
    const QByteArray head = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>";
    EXPECT_FALSE(PropertyList::parse(head + "a</key><string>b" + QByteArray(1, '\0')
        + "c</string>"
          "</dict></plist>"));
    EXPECT_FALSE(
        PropertyList::parse(head + "a" + QByteArray(1, '\0') + "</key><true/></dict></plist>"));
    const std::optional<QVariant> plain
        = PropertyList::parse(head + "a</key><string>bc</string></dict></plist>");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->toMap().value("a"), "bc");
}

TEST(PropertyList, DefaultsWrittenByTheToolReadInPythonsPlistlib)
{
    ScratchHome home;
    const ProgramRun write
        = ProgramRun::tool({"defaults", "write", "com.trevane.pondrel", "Debug", "-bool", "true"});
    ASSERT_EQ(write.exitCode, 0) << write.standardError.toStdString();
    const QString path = home.configHome() + "/trevane/com.trevane.pondrel.plist";
    EXPECT_EQ(readByPlistlib(path), "{'Debug': True}");
    EXPECT_EQ(modeOf(path), 0600u);

    ASSERT_EQ(ProgramRun::tool({"defaults", "write", "com.trevane.pondrel", "Offset", "-int", "-5"})
                  .exitCode,
        0);
    ASSERT_EQ(ProgramRun::tool(
                  {"defaults", "write", "com.trevane.pondrel", "LastLogin", "ann@example.com"})
                  .exitCode,
        0);
    EXPECT_EQ(
        readByPlistlib(path), "{'Debug': True, 'LastLogin': 'ann@example.com', 'Offset': -5}");
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST(PropertyList, FilesWrittenByPythonsPlistlibReadInTheTool)
{
    ScratchHome home;
    const QString folder = home.configHome() + "/trevane";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(writeByPlistlib(
        "{'Name': 'Ann', 'Count': 3, 'Offset': -7, 'Ratio': 2.5, 'Debug': False, "
        "'When': datetime.datetime(2008, 3, 12, 9, 11, 12), 'Bytes': b'\\x00\\x01', "
        "'Albums': [1, 'two', {'three': True}]}",
        folder + "/com.trevane.interop.plist"));
    ASSERT_TRUE(writeByPlistlib(
        "{'Debug': True, 'Offset': -7}", folder + "/com.trevane.binary.plist", true));

    const ProgramRun domain = ProgramRun::tool({"defaults", "read", "com.trevane.interop"});
    ASSERT_EQ(domain.exitCode, 0) << domain.standardError.toStdString();
    const std::optional<QVariant> read = PropertyList::parse(domain.standardOutput.toUtf8());
    ASSERT_TRUE(read);
    const QVariantMap expected {
        {"Name", "Ann"},
        {"Count", qint64(3)},
        {"Offset", qint64(-7)},
        {"Ratio", 2.5},
        {"Debug", false},
        {"When", QDateTime(QDate(2008, 3, 12), QTime(9, 11, 12), QTimeZone::utc())},
        {"Bytes", QByteArray("\x00\x01", 2)},
        {"Albums", QVariantList {qint64(1), "two", QVariantMap {{"three", true}}}},
    };
    EXPECT_EQ(read->toMap(), expected);

    const ProgramRun key = ProgramRun::tool({"defaults", "read", "com.trevane.interop", "Name"});
    EXPECT_EQ(PropertyList::parse(key.standardOutput.toUtf8()), QVariant("Ann"));
    const ProgramRun binary
        = ProgramRun::tool({"defaults", "read", "com.trevane.binary", "Offset"});
    EXPECT_EQ(PropertyList::parse(binary.standardOutput.toUtf8()), QVariant(qint64(-7)));
}

} // namespace pondrel
