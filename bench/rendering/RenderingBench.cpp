// Decoding and rendering of a 24-megapixel camera JPEG into the renditions the service asks for,
// with the decode at the smallest DCT scale the batch allows and, for comparison, at full size.

#include "imaging/NSImage_extras.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureRendering.h"

#include <QCoreApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Rendition
{
    int width;
    int height;
    int cropMode;
};

constexpr Rendition kThumbnail {200, 200, 1};
constexpr Rendition kPreview {1024, 1024, 1};
constexpr Rendition kScreen {1920, 1200, 2};

// A 6000 x 4000 picture with gradients and fine noise, so the JPEG has a camera-like amount of
// detail to decode (about 6 MB at quality 0.9). It is made in a child process so that its
// making does not count in the peak memory of the renditions.
bool writeLargeJpeg(const QString &file)
{
    const pid_t child = fork();
    if (child == 0) {
        QImage image(6000, 4000, QImage::Format_RGB32);
        QRandomGenerator random(42);
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

QString largeJpegPath;

const QString &largeJpeg()
{
    return largeJpegPath;
}

QVariantMap command(const Rendition &rendition, int index)
{
    return {{"type", "RenderPicture"}, {"id", QStringLiteral("bench-%1").arg(index)},
        {"width", QString::number(rendition.width)}, {"height", QString::number(rendition.height)},
        {"cropMode", QString::number(rendition.cropMode)}, {"RotateFlipType", "Rotate90FlipNone"},
        {"return", "fileSize,width,height"}};
}

void reportPeakMemory(benchmark::State &state)
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}

// One batch: one decode, then every rendition written as JPEG.
void renderBatch(benchmark::State &state, const QList<Rendition> &renditions, bool dctScaling)
{
    const QString &path = largeJpeg();
    QTemporaryDir output;
    QVariantList commands;
    for (int index = 0; index < renditions.size(); ++index)
        commands.append(command(renditions.at(index), index));
    for (auto _ : state) {
        QString errorMsg;
        std::optional<Picture> picture;
        if (dctScaling) {
            picture = decodePictureForCommands(path, commands, errorMsg);
        } else {
            const std::optional<PictureDecoder> decoder = PictureDecoder::open(path, errorMsg);
            if (decoder)
                picture = decoder->decode(1.0, errorMsg);
        }
        if (!picture) {
            state.SkipWithError(errorMsg.toUtf8().constData());
            return;
        }
        for (int index = 0; index < commands.size(); ++index) {
            const auto rendered = renderPictureCommandToFile(commands.at(index).toMap(), *picture,
                output.filePath(QStringLiteral("%1.jpg").arg(index)), kRenditionJpegQuality,
                errorMsg);
            if (!rendered) {
                state.SkipWithError(errorMsg.toUtf8().constData());
                return;
            }
            benchmark::DoNotOptimize(rendered->fileSize);
        }
    }
    reportPeakMemory(state);
}

void BM_Thumbnail200(benchmark::State &state)
{
    renderBatch(state, {kThumbnail}, state.range(0));
}
void BM_Preview1024(benchmark::State &state)
{
    renderBatch(state, {kPreview}, state.range(0));
}
void BM_Screen1920x1200Crop(benchmark::State &state)
{
    renderBatch(state, {kScreen}, state.range(0));
}
void BM_BatchOfThree(benchmark::State &state)
{
    renderBatch(state, {kThumbnail, kPreview, kScreen}, state.range(0));
}

void BM_PublisherThumbnail100(benchmark::State &state)
{
    const QString &path = largeJpeg();
    for (auto _ : state)
        benchmark::DoNotOptimize(thumbnailImageWithFile(path, 100));
    reportPeakMemory(state);
}

} // namespace

// Argument: 1 = decode at the DCT scale the batch allows, 0 = decode at full size.
BENCHMARK(BM_Thumbnail200)->ArgName("dct")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Preview1024)->ArgName("dct")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Screen1920x1200Crop)->ArgName("dct")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchOfThree)->ArgName("dct")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublisherThumbnail100)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    largeJpegPath = folder.filePath("large.jpg");
    if (!writeLargeJpeg(largeJpegPath))
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
