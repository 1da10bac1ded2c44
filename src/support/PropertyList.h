// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

namespace pondrel {

// Property lists in and out of Qt variant trees: dictionaries are QVariantMap, arrays
// QVariantList, dates QDateTime (UTC), data QByteArray, integers qint64, reals double.
namespace PropertyList {

// Any format libplist reads (XML or binary). On failure the parser's complaint goes to *error.
std::optional<QVariant> parse(const QByteArray &bytes, QString *error = nullptr);

// An XML property list, version 1.0. Fails (with the reason in *error) when the tree holds a
// value that has no property-list form, such as the null marker or an image.
std::optional<QByteArray> toXml(const QVariant &value, QString *error = nullptr);

// Serialises and replaces the file atomically. Logs and writes nothing when the value cannot be
// serialised. Unlike the original helper, the write's own outcome is reported as well: a full
// disk is not a success.
bool saveToPList(const QVariant &arrayOrDictionary, const QString &path);

// The top-level object as read; none when the file cannot be read (silently) or parsed (logged).
std::optional<QVariant> initFromPlist(const QString &path);

// The file as a dictionary: none when unreadable, not UTF-8, not a property list or not a
// dictionary.
std::optional<QVariantMap> dictionaryFromPlist(const QString &path);

// Parses text as a property list; none for empty text or text that is not a dictionary.
std::optional<QVariantMap> dictionaryWithString(const QString &text);

} // namespace PropertyList

} // namespace pondrel
