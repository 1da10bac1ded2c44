// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QList>
#include <QVariant>

#include <optional>

namespace pondrel {

// A last-in-first-out stack of values, bottom first. The Publisher keeps the albums and asset
// lists above the current album in two of these while the user walks down the album tree.
// Elements are values: changing an object after pushing it leaves the stacked copy alone.
template <typename T = QVariant> class LifoMutableArray
{
public:
    void push(const T &object) { lifo.append(object); }

    // The top element, removed; none on an empty stack.
    std::optional<T> pop()
    {
        if (lifo.isEmpty())
            return std::nullopt;
        return lifo.takeLast();
    }

    // The top element, left in place; none on an empty stack.
    std::optional<T> lastItem() const
    {
        if (lifo.isEmpty())
            return std::nullopt;
        return lifo.last();
    }

    qsizetype count() const { return lifo.size(); }
    void removeAllObjects() { lifo.clear(); }

private:
    QList<T> lifo;
};

} // namespace pondrel
