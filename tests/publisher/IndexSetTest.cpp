// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/IndexSet.h"

#include <gtest/gtest.h>

#include <vector>

namespace pondrel {

namespace {

std::vector<quint32> members(const IndexSet &set)
{
    std::vector<quint32> result;
    for (quint32 i = set.firstIndex(); i != IndexSet::notFound; i = set.indexGreaterThan(i))
        result.push_back(i);
    return result;
}

} // namespace

TEST(IndexSet, MergesTouchingRangesAndSplitsThemOnRemoval)
{
    IndexSet set;
    set.addRange(10, 12);
    set.add(5);
    set.addRange(13, 14);
    set.addRange(7, 8);
    set.add(6);
    EXPECT_EQ(members(set), (std::vector<quint32> {5, 6, 7, 8, 10, 11, 12, 13, 14}));
    EXPECT_EQ(set.count(), 9u);
    EXPECT_TRUE(IndexSet::fromRange(3, 2).isEmpty());

    set.addRange(0, 20);
    EXPECT_EQ(set, IndexSet::fromRange(0, 20));
    set.remove(4);
    set.removeRange(8, 30);
    EXPECT_EQ(members(set), (std::vector<quint32> {0, 1, 2, 3, 5, 6, 7}));
    EXPECT_TRUE(set.contains(5) && !set.contains(4));
    EXPECT_EQ(set.lastIndex(), 7u);
    EXPECT_EQ(members(set.below(6)), (std::vector<quint32> {0, 1, 2, 3, 5}));
    EXPECT_TRUE(set.below(0).isEmpty());
    set.removeIndexes(IndexSet::fromRange(2, 5));
    EXPECT_EQ(members(set), (std::vector<quint32> {0, 1, 6, 7}));
    EXPECT_EQ(IndexSet().lastIndex(), IndexSet::notFound);
}

} // namespace pondrel
