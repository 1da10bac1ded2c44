// SPDX-License-Identifier: GPL-2.0-or-later
// The Publisher's drafts: a folder of 200 twelve-megapixel JPEGs imported into drafts
// (thumbnails included), and 200 draft pictures committed to the reference service on loopback
// with a photo database of 10,000 and 100,000 records.

#include "bench/common/BenchmarkMain.h"
#include "bench/common/CameraScene.h"
#include "client/oruNetwork.h"
#include "client/oruNetwork_photoDB.h"
#include "model/DraftCommit.h"
#include "model/DraftImport.h"
#include "model/DraftStore.h"
#include "model/oruItem.h"
#include "tests/common/RefServiceProcess.h"
#include "tests/common/ScratchHome.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

using namespace pondrel;

constexpr int kPictureCount = 200;

// 200 twelve-megapixel JPEGs without Exif thumbnails, so every thumbnail is decoded.
class PictureFolder
{
public:
    PictureFolder()
    {
        const QString first = m_dir.filePath(QStringLiteral("IMG_0000.jpg"));
        cameraScene().save(first, "JPEG", 90);
        for (int index = 1; index < kPictureCount; ++index)
            QFile::copy(first,
                m_dir.filePath(QStringLiteral("IMG_%1.jpg").arg(index, 4, 10, QLatin1Char('0'))));
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

PictureFolder &pictures()
{
    static PictureFolder folder;
    return folder;
}

// The processor time of this process so far (every thread, user and system), in milliseconds:
// what a picture costs apart from the waits a busy machine adds.
double processorMilliseconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto milliseconds = [](const timeval &time) {
        return double(time.tv_sec) * 1000.0 + double(time.tv_usec) / 1000.0;
    };
    return milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
}

void countProcessorPerPicture(benchmark::State &state, double processorBefore)
{
    state.counters["cpu_ms_per_picture"] = (processorMilliseconds() - processorBefore)
        / double(std::max<benchmark::IterationCount>(state.iterations(), 1) * kPictureCount);
}

template <typename Sender, typename Signal> void runUntil(Sender *sender, Signal signal)
{
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_ImportFolder(benchmark::State &state)
{
    ScratchHome home;
    const QString folder = pictures().path();
    const double processorBefore = processorMilliseconds();
    for (auto _ : state) {
        DraftStore store;
        DraftImport import(store);
        import.start({{folder}, QString(), 3});
        runUntil(&import, &DraftImport::finished);
        if (store.numberOfDraftItems() != kPictureCount + 1) {
            state.SkipWithError("not every picture became a draft");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kPictureCount);
    countProcessorPerPicture(state, processorBefore);
}
BENCHMARK(BM_ImportFolder)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Commits 200 draft pictures into one album; the photo database holds state.range(0) records.
void BM_CommitDrafts(benchmark::State &state)
{
    ScratchHome home;
    RefServiceProcess service;
    if (!service.start()) {
        state.SkipWithError(service.errorMsg().toUtf8().constData());
        return;
    }
    qputenv("PONDREL_SERVICE_URL", service.baseUrl().toUtf8());
    oruNetwork network;
    if (!network.registerComputerIfNeeded()
        || !network.createNewAccount(QStringLiteral("B"), QStringLiteral("B"),
            QStringLiteral("secret1"), QStringLiteral("bench@example.com"))
        || !network.signOn(QStringLiteral("bench@example.com"), QStringLiteral("secret1"))) {
        state.SkipWithError(network.errorMsg().toUtf8().constData());
        return;
    }
    for (qint64 index = 0; index < state.range(0); ++index) {
        if (!oruNetworkPhotoDB::addPhotoToDB(
                QStringLiteral("/home/ann/Pictures/2008/IMG_%1.jpg").arg(index),
                oruNetwork::stringWithUUID(),
                QStringLiteral("%1").arg(index, 40, 16, QLatin1Char('0')))) {
            state.SkipWithError("the photo database could not be filled");
            return;
        }
    }
    DraftStore drafts;
    DraftImport import(drafts);
    import.start({{pictures().path()}, QString(), 3});
    runUntil(&import, &DraftImport::finished);
    const QVariantMap imported = drafts.toVariantMap();

    const double processorBefore = processorMilliseconds();
    for (auto _ : state) {
        drafts = DraftStore::fromVariantMap(imported);
        DraftCommit commit(drafts, DraftCommit::clientsLike(network));
        DraftCommit::Summary summary;
        QObject::connect(&commit, &DraftCommit::finished,
            [&](const DraftCommit::Summary &result) { summary = result; });
        commit.start();
        runUntil(&commit, &DraftCommit::finished);
        if (summary.notSent != 0) {
            state.SkipWithError(summary.problems.value(0).toUtf8().constData());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kPictureCount);
    // The client's side only: the service is a process of its own.
    countProcessorPerPicture(state, processorBefore);
    qunsetenv("PONDREL_SERVICE_URL");
}
BENCHMARK(BM_CommitDrafts)
    ->Unit(benchmark::kMillisecond)
    ->Arg(0)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(2)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("PONDREL_BIN_DIR"))
        qputenv("PONDREL_BIN_DIR", PONDREL_BENCH_BIN_DIR);
    return runBenchmarks(argc, argv, [] { pictures(); });
}
