// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace pondrel {

namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
// The intermediate rows keep 7 bits below the 8-bit channel value.
constexpr int kIntermediateBits = 7;

// For each target pixel of one axis: the first source pixel and the fixed-point weights of the
// source pixels it draws from.
struct AxisWeights
{
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> offset;
    std::vector<int32_t> weights;
};

void appendNormalised(AxisWeights &axis, int first, const std::vector<double> &raw)
{
    double total = 0;
    for (const double weight : raw)
        total += weight;
    axis.first.push_back(first);
    axis.count.push_back(int(raw.size()));
    axis.offset.push_back(int(axis.weights.size()));
    int sum = 0;
    size_t heaviest = 0;
    for (size_t index = 0; index < raw.size(); ++index) {
        const int weight = int(std::lround(raw[index] / total * kWeightOne));
        axis.weights.push_back(weight);
        sum += weight;
        if (raw[index] > raw[heaviest])
            heaviest = index;
    }
    // Rounding must not brighten or darken: the weights of a pixel add up to exactly one.
    axis.weights[size_t(axis.offset.back()) + heaviest] += kWeightOne - sum;
}

// Raw weights indexed from `first`; pixels outside the bitmap lend their weight to its edge.
void addWeight(std::vector<double> &raw, int &first, int index, int limit, double weight)
{
    index = std::clamp(index, 0, limit - 1);
    if (raw.empty())
        first = index;
    if (index < first) {
        raw.insert(raw.begin(), size_t(first - index), 0.0);
        first = index;
    }
    if (size_t(index - first) >= raw.size())
        raw.resize(size_t(index - first) + 1, 0.0);
    raw[size_t(index - first)] += weight;
}

AxisWeights axisWeights(double start, double length, int targetCount, int sourceLimit)
{
    AxisWeights axis;
    const double step = length / targetCount;
    std::vector<double> raw;
    for (int target = 0; target < targetCount; ++target) {
        raw.clear();
        int first = 0;
        if (step >= 1.0) {
            // Area average: each source pixel counts by how much of the footprint it covers.
            const double from = start + target * step;
            const double to = from + step;
            for (int index = int(std::floor(from)); index < int(std::ceil(to)); ++index) {
                const double covered = std::min(to, index + 1.0) - std::max(from, double(index));
                if (covered > 0)
                    addWeight(raw, first, index, sourceLimit, covered);
            }
        } else {
            const double centre = start + (target + 0.5) * step - 0.5;
            const int left = int(std::floor(centre));
            const double fraction = centre - left;
            addWeight(raw, first, left, sourceLimit, 1.0 - fraction);
            addWeight(raw, first, left + 1, sourceLimit, fraction);
        }
        if (raw.empty())
            addWeight(raw, first, int(start), sourceLimit, 1.0);
        appendNormalised(axis, first, raw);
    }
    return axis;
}

void resampleRow(const uint8_t *source, const AxisWeights &columns, uint16_t *target)
{
    const size_t width = columns.first.size();
    for (size_t x = 0; x < width; ++x) {
        const uint8_t *pixel = source + size_t(columns.first[x]) * 4;
        const int32_t *weight = columns.weights.data() + columns.offset[x];
        int32_t sum0 = 0, sum1 = 0, sum2 = 0, sum3 = 0;
        for (int tap = 0; tap < columns.count[x]; ++tap, pixel += 4) {
            sum0 += pixel[0] * weight[tap];
            sum1 += pixel[1] * weight[tap];
            sum2 += pixel[2] * weight[tap];
            sum3 += pixel[3] * weight[tap];
        }
        constexpr int shift = kWeightBits - kIntermediateBits;
        constexpr int32_t half = 1 << (shift - 1);
        target[x * 4 + 0] = uint16_t((sum0 + half) >> shift);
        target[x * 4 + 1] = uint16_t((sum1 + half) >> shift);
        target[x * 4 + 2] = uint16_t((sum2 + half) >> shift);
        target[x * 4 + 3] = uint16_t((sum3 + half) >> shift);
    }
}

uint8_t toChannel(int32_t sum)
{
    constexpr int shift = kWeightBits + kIntermediateBits;
    constexpr int32_t half = 1 << (shift - 1);
    return uint8_t(std::clamp((sum + half) >> shift, 0, 255));
}

} // namespace

namespace Resampler {

QImage resampled(const QImage &bitmap, const QRectF &source, const QSize &size)
{
    if (bitmap.isNull() || size.isEmpty() || source.width() <= 0 || source.height() <= 0
        || bitmap.depth() != 32)
        return {};
    QImage target(size, bitmap.format());
    if (target.isNull())
        return {};

    const AxisWeights columns
        = axisWeights(source.left(), source.width(), size.width(), bitmap.width());
    const AxisWeights rows
        = axisWeights(source.top(), source.height(), size.height(), bitmap.height());

    // Each source row of the part is resampled horizontally once; the target rows are then
    // blended from those rows.
    const int firstRow = rows.first.front();
    const int lastRow = rows.first.back() + rows.count.back() - 1;
    const size_t rowLength = size_t(size.width()) * 4;
    std::vector<uint16_t> shrunkRows(rowLength * size_t(lastRow - firstRow + 1));
    for (int row = firstRow; row <= lastRow; ++row)
        resampleRow(bitmap.constScanLine(row), columns,
            shrunkRows.data() + rowLength * size_t(row - firstRow));

    std::vector<int32_t> sums(rowLength);
    for (int y = 0; y < size.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const int32_t *weight = rows.weights.data() + rows.offset[size_t(y)];
        for (int tap = 0; tap < rows.count[size_t(y)]; ++tap) {
            const uint16_t *shrunk
                = shrunkRows.data() + rowLength * size_t(rows.first[size_t(y)] + tap - firstRow);
            const int32_t factor = weight[tap];
            for (size_t index = 0; index < rowLength; ++index)
                sums[index] += shrunk[index] * factor;
        }
        uint8_t *line = target.scanLine(y);
        for (size_t index = 0; index < rowLength; ++index)
            line[index] = toChannel(sums[index]);
    }
    if (bitmap.format() == QImage::Format_RGB32) {
        // RGB32 wants its unused byte at 0xff; averaging keeps it there, rounding may not.
        for (int y = 0; y < size.height(); ++y) {
            auto *line = reinterpret_cast<uint32_t *>(target.scanLine(y));
            for (int x = 0; x < size.width(); ++x)
                line[x] |= 0xff000000u;
        }
    }
    return target;
}

} // namespace Resampler

} // namespace pondrel
