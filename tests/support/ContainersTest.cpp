// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/QtPrinters.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/StandardErrorCapture.h"

#include "support/CSCache.h"
#include "support/FileManagerExtras.h"
#include "support/AliasFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace pondrel {

TEST(CSCache, IsOneInstanceThatReplacesAndRemovesEntries)
{
    ScratchHome home;
    CSCache &cache = CSCache::sharedCache();
    EXPECT_EQ(&cache, &CSCache::sharedCache());

    cache.cacheData("first", "picture-1");
    cache.cacheData("second", "picture-1");
    EXPECT_EQ(cache.cachedDataForKey("picture-1"), QByteArray("second"));
    EXPECT_FALSE(cache.cachedDataForKey("picture-2"));
    EXPECT_FALSE(cache.lastUseForKey("picture-2"));

    const QDateTime stored = *cache.lastUseForKey("picture-1");
    QThread::msleep(20);
    cache.cachedDataForKey("picture-1");
    EXPECT_GT(*cache.lastUseForKey("picture-1"), stored);

    cache.removeCachedDataForKey("picture-1");
    cache.removeCachedDataForKey("never-stored");
    EXPECT_FALSE(cache.cachedDataForKey("picture-1"));
}

// Many threads store, read and remove the same few keys at once. Every value read must be a
// whole value that some thread stored under that very key.
TEST(CSCache, StaysConsistentUnderManyThreadsAtOnce)
{
    ScratchHome home;
    constexpr int kThreads = 8;
    constexpr int kRounds = 3000;
    const QStringList keys {"a", "b", "c", "d", "e"};
    std::atomic<int> wrongValues {0};
    std::atomic<int> hits {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            CSCache &cache = CSCache::sharedCache();
            for (int round = 0; round < kRounds; ++round) {
                const QString &key = keys.at((t + round) % keys.size());
                const QByteArray value = key.toUtf8().repeated(1000 + t);
                switch (round % 3) {
                case 0:
                    cache.cacheData(value, key);
                    break;
                case 1:
                    if (const std::optional<QByteArray> data = cache.cachedDataForKey(key)) {
                        ++hits;
                        const qsizetype copies = data->size();
                        if (copies < 1000 || copies >= 1000 + kThreads
                            || *data != key.toUtf8().repeated(copies))
                            ++wrongValues;
                    }
                    break;
                default:
                    if (round % 9 == 2)
                        cache.removeCachedDataForKey(key);
                    else
                        cache.cachedDataForKey(key);
                    break;
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(wrongValues, 0);
    EXPECT_GT(hits, 0);
    for (const QString &key : keys)
        CSCache::sharedCache().removeCachedDataForKey(key);
}

// Threads that each store keys of their own make the table grow while the others use it; not
// one entry may go missing.
TEST(CSCache, KeepsEveryEntryStoredFromManyThreads)
{
    ScratchHome home;
    constexpr int kThreads = 8;
    constexpr int kKeysPerThread = 4000;
    const auto keyOf = [](int thread, int index) {
        return QStringLiteral("thread-%1/picture-%2").arg(thread).arg(index);
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kKeysPerThread; ++i)
                CSCache::sharedCache().cacheData(keyOf(t, i).toUtf8(), keyOf(t, i));
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    int missing = 0;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kKeysPerThread; ++i) {
            const QString key = keyOf(t, i);
            if (CSCache::sharedCache().cachedDataForKey(key) != key.toUtf8())
                ++missing;
            CSCache::sharedCache().removeCachedDataForKey(key);
        }
    }
    EXPECT_EQ(missing, 0);
}

class AliasResolution : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QString canonical(const QString &name) const
    {
        return QFileInfo(path(name)).canonicalFilePath();
    }
    void makeFile(const QString &name) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void link(const QString &target, const QString &name) const
    {
        ASSERT_TRUE(QFile::link(target, path(name)));
    }

    QTemporaryDir m_dir;
};

TEST_F(AliasResolution, FollowsChainsOfLinks)
{
    makeFile("picture.jpg");
    QDir(m_dir.path()).mkdir("folder");
    link("picture.jpg", "one");
    link(path("one"), "two");
    link("two", "three");
    link("folder", "folder-link");

    EXPECT_EQ(FileManagerExtras::pathResolved(path("picture.jpg")), path("picture.jpg"));
    EXPECT_EQ(FileManagerExtras::pathResolved(path("one")), canonical("picture.jpg"));
    EXPECT_EQ(FileManagerExtras::pathResolved(path("three")), canonical("picture.jpg"));
    EXPECT_EQ(FileManagerExtras::pathResolved(path("folder-link")), canonical("folder"));

    StandardErrorCapture standardError;
    EXPECT_EQ(AliasFiles::resolveAliasFile(path("three")), canonical("picture.jpg"));
    EXPECT_EQ(AliasFiles::resolveAliasFile(path("picture.jpg")), path("picture.jpg"));
    EXPECT_EQ(standardError.captured(), QByteArray());
}

TEST_F(AliasResolution, ALinkThatLeadsNowhereResolvesToItself)
{
    link("missing.jpg", "dangling");
    link("dangling", "to-dangling");
    link("loop-b", "loop-a");
    link("loop-a", "loop-b");
    for (const QString name : {"dangling", "to-dangling", "loop-a", "no-such-file"}) {
        EXPECT_EQ(FileManagerExtras::pathResolved(path(name)), path(name)) << qPrintable(name);
        StandardErrorCapture standardError;
        EXPECT_EQ(AliasFiles::resolveAliasFile(path(name)), path(name));
        EXPECT_TRUE(standardError.captured().endsWith(
            QStringLiteral("] Failed to resolve file %1 as alias file\n").arg(path(name)).toUtf8()))
            << standardError.captured().toStdString();
    }
}

TEST_F(AliasResolution, ResolveAliasFileKeepsThePathWhenTheTargetPathIsTooLong)
{
    // Nest folders until the file's path passes the limit by a little.
    QString folder = canonical("");
    const QString part = QString(60, QLatin1Char('f'));
    while ((folder + QLatin1Char('/') + part + QStringLiteral("/x.jpg")).toUtf8().size()
        <= AliasFiles::kMaximumPathBytes) {
        folder += QLatin1Char('/') + part;
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString fits = folder + QStringLiteral("/")
        + QString(int(AliasFiles::kMaximumPathBytes - folder.toUtf8().size() - 1),
            QLatin1Char('y'));
    ASSERT_EQ(fits.toUtf8().size(), AliasFiles::kMaximumPathBytes);
    ASSERT_TRUE(QDir().mkpath(folder + QLatin1Char('/') + part));
    const QString tooLong = folder + QLatin1Char('/') + part + QStringLiteral("/x.jpg");
    QFile(fits).open(QIODevice::WriteOnly);
    QFile(tooLong).open(QIODevice::WriteOnly);
    link(fits, "fits");
    link(tooLong, "too-long");

    EXPECT_EQ(AliasFiles::resolveAliasFile(path("fits")), fits);
    EXPECT_EQ(AliasFiles::resolveAliasFile(path("too-long")), path("too-long"));
    EXPECT_EQ(FileManagerExtras::pathResolved(path("too-long")), tooLong);
}

} // namespace pondrel
