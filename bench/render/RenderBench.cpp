// SPDX-License-Identifier: GPL-2.0-or-later
// RenderPicture commands on a 24-megapixel JPEG made on the fly: one command at each of the
// service's usual sizes, a batch of the three (one decode) against three separate commands,
// each with the decode at the smallest DCT scale the batch allows and, for comparison, at full
// size; the Publisher's 100-pixel thumbnail of the same file; and, on the same file in the same
// run, vipsthumbnail at the same sizes as a yardstick, both against the commands in this
// process and against `pondrel-tool render` as a process of its own, as vipsthumbnail is. All
// times are wall-clock.

#include "bench/common/BenchmarkMain.h"

#include "imaging/PictureDecoder.h"
#include "imaging/PictureRendering.h"
#include "imaging/PictureTransforms.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// The process environment, handed unchanged to spawned children.
extern char **environ;

namespace pondrel {

namespace {

struct Rendition
{
    int width;
    int height;
    int cropMode;
};

const QList<Rendition> kRenditions = {{200, 200, 1}, {1024, 1024, 1}, {1920, 1200, 2}};

QString largeJpegPath;
QTemporaryDir *outputFolder = nullptr;
// Mean seconds of one command in this process (DCT-scaled decode) and of `pondrel-tool render`,
// by rendition.
QMap<int, double> commandSeconds;
QMap<int, double> toolSeconds;
// Peak memory of the in-process runs, measured before the benchmarks, by run name.
QMap<QString, double> peaks;

// How a batch decodes its picture: at the smallest DCT scale its commands allow, or at full size.
enum class Decode { scaled, fullSize };

std::optional<Picture> decodeFor(
    const QList<RenderRequest> &requests, Decode decode, QString &errorMsg)
{
    if (decode == Decode::scaled)
        return decodePictureForRequests(largeJpegPath, requests, errorMsg);
    const std::optional<PictureDecoder> decoder = PictureDecoder::open(largeJpegPath, errorMsg);
    return decoder ? decoder->decode(1.0, errorMsg) : std::nullopt;
}

// 6000 x 4000 with gradients and fine noise, so the JPEG carries a camera-like amount of
// detail. Made in a child process, so that making it does not count in anyone's peak memory.
bool writeLargeJpeg(const QString &file)
{
    const pid_t child = fork();
    if (child == 0) {
        QImage image(6000, 4000, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int noise = int(random.bounded(40u)) - 20;
                line[x] = qRgb(qBound(0, x * 255 / 6000 + noise, 255),
                    qBound(0, y * 255 / 4000 + noise, 255), qBound(0, 128 + noise, 255));
            }
        }
        _exit(saveBMAsJPEG(Picture(image), 0.9f, file) ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

RenderRequest request(const Rendition &rendition)
{
    return {QSizeF(rendition.width, rendition.height), rendition.cropMode, 1, 0.6f};
}

// One batch as the visit cycle runs it: one decode for all its renditions, then each rendered
// and written. False with the reason in errorMsg.
bool runBatch(const QList<RenderRequest> &requests, Decode decode, QString &errorMsg)
{
    const std::optional<Picture> picture = decodeFor(requests, decode, errorMsg);
    if (!picture)
        return false;
    for (const RenderRequest &each : requests) {
        const std::optional<RenderedJpeg> rendered = render(*picture, each, errorMsg);
        QFile file(outputFolder->filePath(QStringLiteral("render-bench-%1x%2.jpg")
                                              .arg(each.size.width())
                                              .arg(each.size.height())));
        if (!rendered || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(rendered->bytes) != rendered->bytes.size())
            return false;
    }
    return true;
}

// One batch for all the renditions, or a batch of one for each.
QList<QList<RenderRequest>> batchesOf(const QList<int> &renditions, bool oneDecode)
{
    QList<QList<RenderRequest>> batches;
    for (int index : renditions) {
        if (oneDecode && !batches.isEmpty())
            batches.last().append(request(kRenditions.at(index)));
        else
            batches.append(QList<RenderRequest> {request(kRenditions.at(index))});
    }
    return batches;
}

// The peak resident memory of this process so far, in MB.
double peakResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Peak resident memory in MB of a child process that does the work once; 0 when the work
// fails. The child starts as large as this process at the fork, which main keeps small by
// measuring first.
double childPeakMegabytes(const std::function<bool()> &work)
{
    int channel[2];
    if (pipe(channel) != 0)
        return 0;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const double peak = work() ? peakResidentMegabytes() : 0;
        _exit(write(channel[1], &peak, sizeof peak) == sizeof peak ? 0 : 1);
    }
    close(channel[1]);
    double peak = 0;
    if (child <= 0 || read(channel[0], &peak, sizeof peak) != sizeof peak)
        peak = 0;
    close(channel[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return peak;
}

bool runBatches(const QList<QList<RenderRequest>> &batches, Decode decode, QString &errorMsg)
{
    for (const QList<RenderRequest> &batch : batches) {
        if (!runBatch(batch, decode, errorMsg))
            return false;
    }
    return true;
}

QString runName(const QList<int> &renditions, bool oneDecode, Decode decode)
{
    QStringList names;
    for (int index : renditions)
        names.append(QString::number(index));
    return names.join(oneDecode ? QLatin1Char('+') : QLatin1Char(','))
        + (decode == Decode::fullSize ? QStringLiteral(" full") : QString());
}

const QString kPublisherThumbnailRun = QStringLiteral("publisher thumbnail");

void measurePeak(const QList<int> &renditions, bool oneDecode, Decode decode)
{
    peaks.insert(runName(renditions, oneDecode, decode), childPeakMegabytes([&] {
        QString errorMsg;
        return runBatches(batchesOf(renditions, oneDecode), decode, errorMsg);
    }));
}

void measurePeaks()
{
    for (const Decode decode : {Decode::scaled, Decode::fullSize}) {
        for (int index = 0; index < kRenditions.size(); ++index)
            measurePeak({index}, true, decode);
        measurePeak({0, 1, 2}, true, decode);
        measurePeak({0, 1, 2}, false, decode);
    }
    peaks.insert(kPublisherThumbnailRun,
        childPeakMegabytes([] { return thumbnailImageWithFile(largeJpegPath, 100).has_value(); }));
}

void renderBatches(
    benchmark::State &state, const QList<int> &renditions, bool oneDecode, Decode decode)
{
    const QList<QList<RenderRequest>> batches = batchesOf(renditions, oneDecode);
    QElapsedTimer clock;
    double total = 0;
    for (auto _ : state) {
        clock.start();
        for (const QList<RenderRequest> &batch : batches) {
            QString errorMsg;
            if (!runBatch(batch, decode, errorMsg)) {
                state.SkipWithError(errorMsg.toUtf8().constData());
                return;
            }
        }
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        total += seconds;
    }
    if (renditions.size() == 1 && decode == Decode::scaled)
        commandSeconds.insert(renditions.first(), total / double(state.iterations()));
    state.counters["peak_MB"] = peaks.value(runName(renditions, oneDecode, decode));
}

// The last argument of each: 1 decodes at the DCT scale the batch allows, 0 at full size.
Decode decodeArgument(const benchmark::State &state, int position)
{
    return state.range(position) != 0 ? Decode::scaled : Decode::fullSize;
}

void BM_RenderPictureCommand(benchmark::State &state)
{
    renderBatches(state, {int(state.range(0))}, true, decodeArgument(state, 1));
}

void BM_BatchOfThree(benchmark::State &state)
{
    renderBatches(state, {0, 1, 2}, true, decodeArgument(state, 0));
}

void BM_ThreeSeparateCommands(benchmark::State &state)
{
    renderBatches(state, {0, 1, 2}, false, decodeArgument(state, 0));
}

void BM_PublisherThumbnail100(benchmark::State &state)
{
    for (auto _ : state) {
        if (!thumbnailImageWithFile(largeJpegPath, 100)) {
            state.SkipWithError("the thumbnail could not be made");
            return;
        }
    }
    state.counters["peak_MB"] = peaks.value(kPublisherThumbnailRun);
}

// Runs the program to its end with its output discarded; false when it could not start or
// failed.
bool runProcess(const QString &program, const QStringList &arguments)
{
    QList<QByteArray> storage = {program.toLocal8Bit()};
    for (const QString &argument : arguments)
        storage.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

// The program's peak resident memory in MB through /usr/bin/time, a small process of its own,
// so that the benchmark's size does not count in the child's; 0 without it.
double processPeakMegabytes(const QString &program, const QStringList &arguments)
{
    const QString time = QStringLiteral("/usr/bin/time");
    if (!QFileInfo(time).isExecutable())
        return 0;
    const QString report = outputFolder->filePath(QStringLiteral("time.txt"));
    if (!runProcess(time, QStringList {"-f", "%M", "-o", report, program} + arguments))
        return 0;
    QFile file(report);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toDouble() / 1024.0 : 0;
}

// Times the program's runs; its mean seconds, or nothing when a run failed.
std::optional<double> timeProcess(
    benchmark::State &state, const QString &program, const QStringList &arguments)
{
    QElapsedTimer clock;
    double total = 0;
    for (auto _ : state) {
        clock.start();
        if (!runProcess(program, arguments)) {
            state.SkipWithError(qPrintable(QFileInfo(program).fileName() + " failed"));
            return std::nullopt;
        }
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        total += seconds;
    }
    state.counters["peak_MB"] = processPeakMegabytes(program, arguments);
    return total / double(state.iterations());
}

void BM_PondrelToolRender(benchmark::State &state)
{
    const QString program = QCoreApplication::applicationDirPath() + "/pondrel-tool";
    if (!QFileInfo(program).isExecutable()) {
        state.SkipWithError("pondrel-tool is not built beside the benchmark");
        return;
    }
    const int index = int(state.range(0));
    const Rendition &rendition = kRenditions.at(index);
    const QStringList arguments = {QStringLiteral("render"), largeJpegPath,
        outputFolder->filePath(QStringLiteral("tool-%1.jpg").arg(index)), "--width",
        QString::number(rendition.width), "--height", QString::number(rendition.height),
        "--crop-mode", QString::number(rendition.cropMode)};
    if (const std::optional<double> mean = timeProcess(state, program, arguments))
        toolSeconds.insert(index, *mean);
}

QString vipsthumbnailPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
}

// vipsthumbnail fits inside the size, or with a centre crop fills it; quality 60 as ours.
QStringList vipsArguments(const Rendition &rendition, int index)
{
    QStringList arguments = {largeJpegPath, QStringLiteral("--size"),
        QStringLiteral("%1x%2").arg(rendition.width).arg(rendition.height), QStringLiteral("-o"),
        outputFolder->filePath(QStringLiteral("vips-%1.jpg[Q=60]").arg(index))};
    if (rendition.cropMode == 2)
        arguments << QStringLiteral("--smartcrop") << QStringLiteral("centre");
    return arguments;
}

void BM_Vipsthumbnail(benchmark::State &state)
{
    const QString program = vipsthumbnailPath();
    if (program.isEmpty()) {
        state.SkipWithError("vipsthumbnail is not installed (Debian package libvips-tools)");
        return;
    }
    const int index = int(state.range(0));
    const std::optional<double> mean
        = timeProcess(state, program, vipsArguments(kRenditions.at(index), index));
    if (!mean)
        return;
    if (commandSeconds.contains(index))
        state.counters["vips_over_command"] = *mean / commandSeconds.value(index);
    if (toolSeconds.contains(index))
        state.counters["vips_over_tool"] = *mean / toolSeconds.value(index);
}

void sizeNames(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgName("size");
    for (int index = 0; index < kRenditions.size(); ++index)
        benchmark->Arg(index);
}

void sizeAndDecodeNames(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgNames({"size", "dct"});
    for (const int dct : {1, 0}) {
        for (int index = 0; index < kRenditions.size(); ++index)
            benchmark->Args({index, dct});
    }
}

} // namespace

// size 0: 200 x 200 fit, 1: 1024 x 1024 fit, 2: 1920 x 1200 fill and crop; dct 1: decode at the
// DCT scale the batch allows, 0: at full size.
BENCHMARK(BM_RenderPictureCommand)
    ->Apply(sizeAndDecodeNames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchOfThree)
    ->ArgName("dct")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThreeSeparateCommands)
    ->ArgName("dct")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublisherThumbnail100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PondrelToolRender)->Apply(sizeNames)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Vipsthumbnail)->Apply(sizeNames)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace pondrel

using namespace pondrel;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    outputFolder = &folder;
    largeJpegPath = folder.filePath("large.jpg");
    if (!writeLargeJpeg(largeJpegPath)) {
        std::fputs("could not make the 24-megapixel test picture\n", stderr);
        return 1;
    }
    if (vipsthumbnailPath().isEmpty())
        std::fputs("vipsthumbnail not found (Debian package libvips-tools): its comparison is "
                   "skipped\n",
            stderr);
    return runBenchmarks(argc, argv, measurePeaks);
}
