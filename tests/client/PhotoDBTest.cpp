#include "ProgramRun.h"
#include "ScratchHome.h"
#include "StandardErrorCapture.h"

#include "client/oruNetwork_photoDB.h"
#include "support/Paths.h"
#include "support/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <thread>

using namespace oruNetworkPhotoDB;

namespace {

constexpr qint64 kDay = 86'400;

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

QString touch(const QString &path)
{
    writeBytes(path, "picture");
    return path;
}

QVariantMap record(const QString &path, const QVariant &date)
{
    QVariantMap result {{kPathKey, path}, {kHashKey, QStringLiteral("0123abcd")}};
    if (date.isValid())
        result.insert(kDateKey, date);
    return result;
}

ProgramRun runPython(const QString &script, const QStringList &arguments)
{
    return ProgramRun::run(QStringLiteral("python3"), QStringList {"-c", script} + arguments);
}

} // namespace

TEST(PhotoDB, AdditionsKeepOtherRecordsAndReplaceTheirOwnAndTheToolShowsThem)
{
    ScratchHome home;
    ASSERT_EQ(photoDBName(), home.dataHome() + "/Trevane/Pondrel_DB.plist");
    EXPECT_FALSE(getPhotoFromDB("M1"));
    EXPECT_FALSE(allPhotosInDB());
    EXPECT_EQ(vacuumDB(), 1);
    for (const QStringList &arguments : {QStringList {"photodb", "list"},
             QStringList {"photodb", "vacuum"}, QStringList {"photodb", "lookup", "M1"}})
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

    // Another process replacing the file is seen by the very next lookup.
    ASSERT_TRUE(PropertyList::saveToPList(
        QVariantMap {{"M9", record("/elsewhere.jpg", QDateTime::currentDateTimeUtc())}},
        photoDBName()));
    EXPECT_FALSE(getPhotoFromDB("M1"));
    EXPECT_EQ(getPhotoFromDB("M9")->value(kPathKey), "/elsewhere.jpg");
}

TEST(PhotoDB, VacuumDropsOnlyRecordsWhoseFileIsLongGone)
{
    ScratchHome home;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString existing = touch(home.path() + "/pictures/here.jpg");
    const QString gone = home.path() + "/pictures/gone.jpg";
    ASSERT_TRUE(Paths::ensureFolder(QFileInfo(photoDBName()).path()));
    ASSERT_TRUE(PropertyList::saveToPList(
        QVariantMap {
            {"gone-89-days", record(gone, now.addSecs(-89 * kDay))},
            {"gone-91-days", record(gone, now.addSecs(-91 * kDay))},
            {"here-400-days", record(existing, now.addSecs(-400 * kDay))},
            {"gone-undated", record(gone, QVariant())},
        },
        photoDBName()));

    EXPECT_EQ(vacuumDB(), 0);
    const QVariantMap kept = allPhotosInDB().value_or(QVariantMap());
    EXPECT_EQ(kept.keys(), (QStringList {"gone-89-days", "gone-undated", "here-400-days"}));

    const ProgramRun second = ProgramRun::tool({"photodb", "vacuum"});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.standardOutput.trimmed(), "3 records kept, 0 removed");
}

TEST(PhotoDB, ExchangesFilesWithPythonPlistlib)
{
    ScratchHome home;
    ASSERT_TRUE(Paths::ensureFolder(QFileInfo(photoDBName()).path()));
    const ProgramRun written = runPython(QStringLiteral(R"(
import plistlib, sys, datetime
records = {"FROM-PY": {"PATH": "/home/zoë/Bilder/été.jpg", "HASH": "ab" * 20,
                       "DATE": datetime.datetime(2026, 3, 4, 5, 6, 7)}}
with open(sys.argv[1], "wb") as f:
    plistlib.dump(records, f, fmt=plistlib.FMT_XML)
)"),
        {photoDBName()});
    ASSERT_EQ(written.exitCode, 0);

    const std::optional<QVariantMap> fromPython = getPhotoFromDB("FROM-PY");
    ASSERT_TRUE(fromPython);
    EXPECT_EQ(fromPython->value(kPathKey), QStringLiteral("/home/zoë/Bilder/été.jpg"));
    EXPECT_EQ(fromPython->value(kHashKey), QStringLiteral("ab").repeated(20));
    EXPECT_EQ(fromPython->value(kDateKey).toDateTime(),
        QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC));

    ASSERT_TRUE(addPhotoToDB("/pictures/ü.jpg", "FROM-CLIENT", "cd"));
    const ProgramRun read = runPython(QStringLiteral(R"(
import plistlib, sys
with open(sys.argv[1], "rb") as f:
    db = plistlib.load(f)
for moniker in sorted(db):
    r = db[moniker]
    print(moniker, r["PATH"], r["HASH"], type(r["DATE"]).__name__, r["DATE"].year)
)"),
        {photoDBName()});
    EXPECT_EQ(read.exitCode, 0);
    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_EQ(read.standardOutput,
        QStringLiteral("FROM-CLIENT /pictures/ü.jpg cd datetime %1\n"
                       "FROM-PY /home/zoë/Bilder/été.jpg %2 datetime 2026\n")
            .arg(year, QStringLiteral("ab").repeated(20)));
}

TEST(PhotoDB, DamagedFileReadsAsEmptyIsReportedOnceAndIsMovedAsideBeforeAnAddition)
{
    ScratchHome home;
    const QByteArray damaged = "<?xml version=\"1.0\"?><plist><dict><key>M1</key><dict>";
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

    // A second damaged file never replaces the first one set aside.
    writeBytes(photoDBName(), "not a property list");
    ASSERT_TRUE(addPhotoToDB("/pictures/newer.jpg", "M3", "eeee"));
    EXPECT_EQ(readAll(photoDBName() + ".corrupt"), damaged);
    EXPECT_EQ(readAll(photoDBName() + "-2.corrupt"), "not a property list");

    // A root that is not a dictionary counts as damaged too.
    writeBytes(photoDBName(), *PropertyList::toXml(QVariantList {"M1", "M2"}));
    EXPECT_FALSE(allPhotosInDB());
    ASSERT_TRUE(addPhotoToDB("/pictures/newest.jpg", "M4", "dddd"));
    EXPECT_TRUE(QFile::exists(photoDBName() + "-3.corrupt"));
}

TEST(PhotoDB, NothingIsWrittenWhenTheDamagedFileCannotBeMovedAside)
{
    ScratchHome home;
    const QByteArray damaged = "<?xml version=\"1.0\"?><plist><dict><key>M1</key>";
    writeBytes(photoDBName(), damaged);
    // The name the damaged file would move to is a link into a folder that does not exist:
    // neither a rename nor a copy gets there, whoever runs the test (root included).
    const QString aside = photoDBName() + ".corrupt";
    ASSERT_TRUE(QFile::link(home.path() + "/gone/Pondrel_DB.plist", aside));
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
    EXPECT_EQ(QFileInfo(aside).symLinkTarget(), home.path() + "/gone/Pondrel_DB.plist");
    EXPECT_FALSE(QFileInfo::exists(home.path() + "/gone"));
}

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
