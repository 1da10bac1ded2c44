// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/common/BenchmarkMain.h"
#include "tests/common/DemoPhotoSource.h"

#include "publisher/views/MUPhotoView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollArea>

#include <benchmark/benchmark.h>

#include <memory>

namespace pondrel {

namespace {

constexpr int windowWidth = 1280;
constexpr int windowHeight = 800;

// One grid of generated items in a 1280 x 800 scroll area, laid out as the Publisher lays out its
// sections (white, shadowed, spacing 55 and 100).
struct Fixture
{
    explicit Fixture(quint32 count)
        : source(count, 7)
    {
        area.setFrameShape(QFrame::NoFrame);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area.resize(windowWidth, windowHeight);
        view = new MUPhotoView;
        view->setDelegate(&source);
        view->setBackgroundColor(Qt::white);
        view->setUseShadowBorder(true);
        view->setPhotoVerticalSpacing(55);
        view->setPhotoHorizontalSpacing(100);
        area.setWidget(view);
        area.show();
        view->updateGridAndFrame();
        // Every third item selected, so selected cells are painted too.
        IndexSet selection;
        for (quint32 i = 0; i < count; i += 3)
            selection.add(i);
        source.didSetSelectionIndexes(view, selection);
    }

    // A window's worth of document in the middle of the list.
    QRectF middleWindow() const
    {
        const qreal top = std::max(0.0, view->height() / 2.0 - windowHeight / 2.0);
        return QRectF(0, top, windowWidth, windowHeight);
    }

    DemoPhotoSource source;
    QScrollArea area;
    MUPhotoView *view = nullptr;
};

void BM_UpdateGridAndFrame(benchmark::State &state)
{
    Fixture fixture(quint32(state.range(0)));
    for (auto _ : state) {
        fixture.view->updateGridAndFrame();
        benchmark::DoNotOptimize(fixture.view->rows());
    }
}

void paintWindow(benchmark::State &state, qreal devicePixelRatio)
{
    Fixture fixture(quint32(state.range(0)));
    QImage target(
        QSize(windowWidth, windowHeight) * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(devicePixelRatio);
    const QRectF window = fixture.middleWindow();
    // Draw once so that cached artwork does not count in the first iteration.
    {
        QPainter painter(&target);
        painter.translate(0, -window.top());
        fixture.view->drawRect(painter, window);
    }
    const IndexRange cells = fixture.view->photoIndexRangeForRect(window);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.translate(0, -window.top());
        fixture.view->drawRect(painter, window);
    }
    state.counters["cells"] = cells.length;
    state.counters["cells/s"]
        = benchmark::Counter(double(cells.length), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PaintWindow(benchmark::State &state)
{
    paintWindow(state, 1.0);
}

void BM_PaintWindowAt2x(benchmark::State &state)
{
    paintWindow(state, 2.0);
}

void BM_HitTest10000Points(benchmark::State &state)
{
    Fixture fixture(quint32(state.range(0)));
    QRandomGenerator random(11);
    std::vector<QPointF> points;
    points.reserve(10000);
    for (int i = 0; i < 10000; ++i)
        points.emplace_back(random.bounded(double(fixture.view->width())),
            random.bounded(double(std::max(1, fixture.view->height()))));
    for (auto _ : state) {
        quint64 sum = 0;
        for (const QPointF &point : points)
            sum += fixture.view->photoIndexForPoint(point);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * qint64(points.size()));
}

} // namespace

BENCHMARK(BM_UpdateGridAndFrame)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
// Process time: the raster engine may hand large blends to its own threads.
BENCHMARK(BM_PaintWindow)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_PaintWindowAt2x)->Arg(10000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_HitTest10000Points)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace pondrel

using namespace pondrel;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
