// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/IndexSet.h"

#include <algorithm>

namespace pondrel {

IndexSet IndexSet::fromRange(quint32 first, quint32 last)
{
    IndexSet set;
    set.addRange(first, last);
    return set;
}

quint64 IndexSet::count() const
{
    quint64 total = 0;
    for (const auto &[first, end] : ranges)
        total += end - first;
    return total;
}

bool IndexSet::contains(quint32 index) const
{
    const auto after = std::upper_bound(ranges.begin(), ranges.end(), quint64(index),
        [](quint64 value, const auto &range) { return value < range.first; });
    return after != ranges.begin() && index < std::prev(after)->second;
}

quint32 IndexSet::indexGreaterThan(quint32 index) const
{
    const quint64 wanted = quint64(index) + 1;
    for (const auto &[first, end] : ranges) {
        if (wanted < end)
            return quint32(std::max(first, wanted));
    }
    return notFound;
}

void IndexSet::addRange(quint32 first, quint32 last)
{
    if (first > last)
        return;
    quint64 begin = first;
    quint64 end = quint64(last) + 1;
    // Selections grow mostly at their end; that needs no merging.
    if (ranges.empty() || begin > ranges.back().second) {
        ranges.emplace_back(begin, end);
        return;
    }
    std::vector<std::pair<quint64, quint64>> merged;
    merged.reserve(ranges.size() + 1);
    bool placed = false;
    for (const auto &range : ranges) {
        if (range.second < begin) {
            merged.push_back(range);
        } else if (range.first > end) {
            if (!placed) {
                merged.emplace_back(begin, end);
                placed = true;
            }
            merged.push_back(range);
        } else {
            begin = std::min(begin, range.first);
            end = std::max(end, range.second);
        }
    }
    if (!placed)
        merged.emplace_back(begin, end);
    ranges = std::move(merged);
}

void IndexSet::addIndexes(const IndexSet &other)
{
    for (const auto &[first, end] : other.ranges)
        addRange(quint32(first), quint32(end - 1));
}

void IndexSet::removeRange(quint32 first, quint32 last)
{
    if (first > last)
        return;
    const quint64 begin = first;
    const quint64 end = quint64(last) + 1;
    std::vector<std::pair<quint64, quint64>> kept;
    kept.reserve(ranges.size() + 1);
    for (const auto &range : ranges) {
        if (range.second <= begin || range.first >= end) {
            kept.push_back(range);
            continue;
        }
        if (range.first < begin)
            kept.emplace_back(range.first, begin);
        if (range.second > end)
            kept.emplace_back(end, range.second);
    }
    ranges = std::move(kept);
}

void IndexSet::removeIndexes(const IndexSet &other)
{
    for (const auto &[first, end] : other.ranges)
        removeRange(quint32(first), quint32(end - 1));
}

IndexSet IndexSet::below(quint32 limit) const
{
    IndexSet result = *this;
    if (!result.isEmpty() && result.lastIndex() >= limit)
        result.removeRange(limit, result.lastIndex());
    return result;
}

} // namespace pondrel
