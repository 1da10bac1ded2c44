// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/common/ProgramRun.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/StandardErrorCapture.h"

#include "client/oruNetwork_photoDB.h"
#include "support/Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace pondrel {

using namespace oruNetworkPhotoDB;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

ProgramRun runPython(const QString &script, const QStringList &arguments)
{
    return ProgramRun::run(QStringLiteral("python3"), QStringList {"-c", script} + arguments);
}

// Writes the property list older versions kept, with Python's own plistlib; the script sees
// `records` (a dict to fill), `datetime`, `now` (UTC, naive) and the arguments in sys.argv[2:].
void writeOlderDatabase(const QString &fillRecords, const QStringList &arguments)
{
    const ProgramRun written = runPython(QStringLiteral(R"(
import plistlib, sys, datetime
now = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)
records = {}
%1
with open(sys.argv[1], "wb") as f:
    plistlib.dump(records, f, fmt=plistlib.FMT_XML)
)")
                                             .arg(fillRecords),
        QStringList {legacyPhotoDBName()} + arguments);
    ASSERT_EQ(written.exitCode, 0) << written.standardError.toStdString();
}

} // namespace

TEST(PhotoDB, AdditionsKeepOtherRecordsAndReplaceTheirOwnAndTheToolShowsThem)
{
    ScratchHome home;
    ASSERT_EQ(photoDBName(), home.dataHome() + "/Trevane/Pondrel_DB.sqlite");
    EXPECT_FALSE(getPhotoFromDB("M1"));
    EXPECT_FALSE(allPhotosInDB());
    EXPECT_EQ(vacuumDB(), 1);
    // Lookups never create the database.
    EXPECT_FALSE(QFile::exists(photoDBName()));
    for (const QStringList &arguments : {QStringList {"photodb", "list"},
             QStringList {"photodb", "vacuum"}, QStringList {"photodb", "lookup", "M1"},
             QStringList {"photodb", "export", home.path() + "/out.plist"}})
        EXPECT_EQ(ProgramRun::tool(arguments).exitCode, 1) << arguments.join(' ').toStdString();
    EXPECT_EQ(ProgramRun::tool({"photodb", "frobnicate"}).exitCode, 2);

    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    ASSERT_TRUE(addPhotoToDB("/pictures/a.jpg", "M1", "aaaa"));
    ASSERT_TRUE(addPhotoToDB("/pictures/b.jpg", "M2", "bbbb"));
    const std::optional<QVariantMap> first = getPhotoFromDB("M1");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->value(kPathKey), "/pictures/a.jpg");
    EXPECT_EQ(first->value(kHashKey), "aaaa");
    EXPECT_GE(first->value(kDateKey).toDateTime(), before);

    ASSERT_TRUE(addPhotoToDB("/pictures/a2.jpg", "M1", "cccc"));
    EXPECT_EQ(getPhotoFromDB("M1")->value(kPathKey), "/pictures/a2.jpg");
    EXPECT_EQ(getPhotoFromDB("M1")->value(kHashKey), "cccc");
    EXPECT_EQ(getPhotoFromDB("M2")->value(kPathKey), "/pictures/b.jpg");
    EXPECT_EQ(allPhotosInDB()->size(), 2);
    EXPECT_FALSE(getPhotoFromDB("M3"));
    const ProgramRun list = ProgramRun::tool({"photodb", "list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_TRUE(list.standardOutput.startsWith("M1\t/pictures/a2.jpg\tcccc\t"))
        << list.standardOutput.toStdString();
    EXPECT_TRUE(list.standardOutput.contains("\nM2\t/pictures/b.jpg\tbbbb\t"));
    const ProgramRun lookup = ProgramRun::tool({"photodb", "lookup", "M2"});
    EXPECT_EQ(lookup.exitCode, 0);
    EXPECT_TRUE(lookup.standardOutput.startsWith("PATH /pictures/b.jpg\nHASH bbbb\nDATE "));
}

// Two programs adding at the same time, each from its own process, as the Publisher and
// pondrel-tool publish may: every record of both is kept.
TEST(PhotoDB, WritersInTwoProcessesLoseNoRecord)
{
    ScratchHome home;
    constexpr int kPerProcess = 5000;
    QProcess writers[2];
    const QString prefixes[2] = {QStringLiteral("a"), QStringLiteral("b")};
    for (int index = 0; index < 2; ++index)
        writers[index].start(ProgramRun::builtProgram(QStringLiteral("photodb_writer")),
            {prefixes[index], QString::number(kPerProcess)});
    for (QProcess &writer : writers) {
        ASSERT_TRUE(writer.waitForFinished(240'000));
        EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
    }
    const QVariantMap records = allPhotosInDB().value_or(QVariantMap());
    EXPECT_EQ(records.size(), 2 * kPerProcess);
    EXPECT_EQ(records.value("a4999").toMap().value(kPathKey), "/p/a4999.jpg");
    EXPECT_EQ(records.value("b0").toMap().value(kHashKey), "h0");
}

// An older version's property list, written by Python's plistlib, is read in on first use with
// its dates; the file is kept renamed; records whose file has been gone more than 90 days are
// vacuumed (FROM-PY's among them), all others stay.
TEST(PhotoDB, ImportsTheOlderPropertyListOnceAndVacuumsWhatIsLongGone)
{
    ScratchHome home;
    const QString existing = home.path() + "/pictures/here.jpg";
    writeBytes(existing, "picture");
    ASSERT_TRUE(Paths::ensureFolder(QFileInfo(legacyPhotoDBName()).path()));
    writeOlderDatabase(QStringLiteral(R"(
gone = sys.argv[2]
records["FROM-PY"] = {"PATH": "/home/zoë/Bilder/été.jpg", "HASH": "ab" * 20,
                      "DATE": datetime.datetime(2026, 3, 4, 5, 6, 7)}
records["gone-89-days"] = {"PATH": gone, "HASH": "1", "DATE": now - datetime.timedelta(days=89)}
records["gone-91-days"] = {"PATH": gone, "HASH": "2", "DATE": now - datetime.timedelta(days=91)}
records["here-400-days"] = {"PATH": sys.argv[3], "HASH": "3",
                            "DATE": now - datetime.timedelta(days=400)}
records["gone-undated"] = {"PATH": gone, "HASH": "4"}
records["not-a-record"] = "text"
)"),
        {home.path() + "/gone.jpg", existing});
    const QByteArray older = readAll(legacyPhotoDBName());

    const std::optional<QVariantMap> fromPython = getPhotoFromDB("FROM-PY");
    ASSERT_TRUE(fromPython);
    EXPECT_EQ(fromPython->value(kPathKey), QStringLiteral("/home/zoë/Bilder/été.jpg"));
    EXPECT_EQ(fromPython->value(kHashKey), QStringLiteral("ab").repeated(20));
    EXPECT_EQ(fromPython->value(kDateKey).toDateTime(),
        QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC));
    EXPECT_FALSE(getPhotoFromDB("gone-undated")->contains(kDateKey));
    EXPECT_FALSE(getPhotoFromDB("not-a-record"));
    EXPECT_FALSE(QFile::exists(legacyPhotoDBName()));
    EXPECT_EQ(readAll(legacyPhotoDBName() + ".imported"), older);
    EXPECT_EQ(allPhotosInDB()->size(), 5);

    EXPECT_EQ(vacuumDB(), 0);
    EXPECT_EQ(
        allPhotosInDB()->keys(), (QStringList {"gone-89-days", "gone-undated", "here-400-days"}));
    const ProgramRun second = ProgramRun::tool({"photodb", "vacuum"});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.standardOutput.trimmed(), "3 records kept, 0 removed");
}

// The export is the older version's file: Python's plistlib reads it with its keys and dates.
TEST(PhotoDB, ExportsThePropertyListPythonPlistlibReads)
{
    ScratchHome home;
    ASSERT_TRUE(addPhotoToDB("/pictures/ü.jpg", "FROM-CLIENT", "cd"));
    ASSERT_TRUE(addPhotoToDB("/pictures/b.jpg", "SECOND", "ef"));
    const QString exported = home.path() + "/Pondrel_DB.plist";
    ASSERT_EQ(ProgramRun::tool({"photodb", "export", exported}).exitCode, 0);
    const ProgramRun read = runPython(QStringLiteral(R"(
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    db = plistlib.load(f)
for moniker in sorted(db):
    r = db[moniker]
    print(moniker, sorted(r), r["PATH"], r["HASH"], type(r["DATE"]).__name__, r["DATE"].year)
)"),
        {exported});
    EXPECT_EQ(read.exitCode, 0) << read.standardError.toStdString();
    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_EQ(read.standardOutput,
        QStringLiteral("FROM-CLIENT ['DATE', 'HASH', 'PATH'] /pictures/ü.jpg cd datetime %1\n"
                       "SECOND ['DATE', 'HASH', 'PATH'] /pictures/b.jpg ef datetime %1\n")
            .arg(year));
}

TEST(PhotoDB, DamagedDatabaseReadsAsEmptyIsReportedOnceAndIsMovedAsideBeforeAnAddition)
{
    ScratchHome home;
    const QByteArray damaged = QByteArray("not an SQLite database ").repeated(200);
    writeBytes(photoDBName(), damaged);

    QString log;
    {
        StandardErrorCapture capture;
        EXPECT_FALSE(getPhotoFromDB("M1"));
        EXPECT_FALSE(getPhotoFromDB("M1"));
        EXPECT_EQ(vacuumDB(), 1);
        log = capture.text();
    }
    EXPECT_EQ(log.count(QStringLiteral("Photo database")), 1) << log.toStdString();
    EXPECT_EQ(readAll(photoDBName()), damaged);
    EXPECT_EQ(ProgramRun::tool({"photodb", "lookup", "M1"}).exitCode, 1);

    ASSERT_TRUE(addPhotoToDB("/pictures/new.jpg", "M2", "ffff"));
    EXPECT_EQ(readAll(photoDBName() + ".corrupt"), damaged);
    EXPECT_EQ(allPhotosInDB()->keys(), QStringList {"M2"});

    // A second damaged file, left by another program, never replaces the first one set aside.
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(photoDBName() + suffix);
    writeBytes(photoDBName(), damaged + "again");
    ASSERT_TRUE(addPhotoToDB("/pictures/newer.jpg", "M3", "eeee"));
    EXPECT_EQ(readAll(photoDBName() + ".corrupt"), damaged);
    EXPECT_EQ(readAll(photoDBName() + "-2.corrupt"), damaged + "again");
    EXPECT_EQ(allPhotosInDB()->keys(), QStringList {"M3"});
}

TEST(PhotoDB, NothingIsWrittenWhenTheDamagedFileCannotBeMovedAside)
{
    ScratchHome home;
    const QByteArray damaged = QByteArray("not an SQLite database ").repeated(200);
    writeBytes(photoDBName(), damaged);
    // The name the damaged file would move to is a link into a folder that does not exist:
    // neither a rename nor a copy gets there, whoever runs the test (root included).
    const QString aside = photoDBName() + ".corrupt";
    ASSERT_TRUE(QFile::link(home.path() + "/gone/Pondrel_DB.sqlite", aside));
    const QDir folder = QFileInfo(photoDBName()).dir();
    const QStringList before
        = folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);

    QString errorMsg;
    StandardErrorCapture capture;
    EXPECT_FALSE(addPhotoToDB("/pictures/new.jpg", "M2", "ffff", &errorMsg));
    const QString log = QString::fromUtf8(capture.finish());
    EXPECT_TRUE(log.contains("could not move the damaged photo database")) << log.toStdString();
    EXPECT_TRUE(errorMsg.contains("could not be moved aside; nothing was written"))
        << errorMsg.toStdString();
    EXPECT_EQ(readAll(photoDBName()), damaged);
    EXPECT_EQ(folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before);
    EXPECT_EQ(QFileInfo(aside).symLinkTarget(), home.path() + "/gone/Pondrel_DB.sqlite");
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/gone"));
}

// Threads of one process each keep a connection of their own.
TEST(PhotoDB, ConcurrentAdditionsLoseNoRecord)
{
    ScratchHome home;
    constexpr int kPerThread = 20;
    auto addMany = [](const QString &prefix) {
        for (int i = 0; i < kPerThread; ++i)
            addPhotoToDB(QStringLiteral("/p/%1%2.jpg").arg(prefix).arg(i),
                QStringLiteral("%1%2").arg(prefix).arg(i), QStringLiteral("h"));
    };
    std::thread first(addMany, QStringLiteral("a"));
    std::thread second(addMany, QStringLiteral("b"));
    first.join();
    second.join();
    EXPECT_EQ(allPhotosInDB().value_or(QVariantMap()).size(), 2 * kPerThread);
}

} // namespace pondrel
