// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QMetaType>

#include <cstdint>
#include <utility>
#include <vector>

namespace pondrel {

// A sorted set of item indexes kept as disjoint half-open ranges, so "everything selected" in a
// list of a hundred thousand items is one range and copying a selection stays cheap.
class IndexSet
{
public:
    static constexpr quint32 notFound = 0x7FFFFFFF;

    IndexSet() = default;
    explicit IndexSet(quint32 index) { add(index); }
    // Every index from first to last, both included (empty when first > last).
    static IndexSet fromRange(quint32 first, quint32 last);

    bool isEmpty() const { return ranges.empty(); }
    quint64 count() const;
    bool contains(quint32 index) const;
    quint32 firstIndex() const { return isEmpty() ? notFound : ranges.front().first; }
    quint32 lastIndex() const { return isEmpty() ? notFound : ranges.back().second - 1; }
    // The smallest member above index, or notFound.
    quint32 indexGreaterThan(quint32 index) const;

    void add(quint32 index) { addRange(index, index); }
    void addRange(quint32 first, quint32 last);
    void addIndexes(const IndexSet &other);
    void remove(quint32 index) { removeRange(index, index); }
    void removeRange(quint32 first, quint32 last);
    void removeIndexes(const IndexSet &other);
    // Only the members below limit.
    IndexSet below(quint32 limit) const;

    bool operator==(const IndexSet &other) const = default;

private:
    // [first, end) pairs, sorted, neither overlapping nor touching.
    std::vector<std::pair<quint64, quint64>> ranges;
};

} // namespace pondrel

Q_DECLARE_METATYPE(pondrel::IndexSet)
