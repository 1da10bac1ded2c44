// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// Small text utilities shared by the dialogs and the views.
namespace StringExtras {

// A search, not a full match: an address standing among other words counts.
bool isValidEmailAddress(const QString &text);
bool isEmptyString(const QString &text);
bool containsString(const QString &text, const QString &part);
QString stringByReplacingSubstring(const QString &text, const QString &from, const QString &to);
// Keeps the decimal digits of every script (Unicode category Nd), in their order.
QString digitsOnly(const QString &text);
// Escapes what may not stand in a URL; reserved characters such as "/", "?", "&" stay.
QString urlEncode(const QString &text);
QString urlDecode(const QString &text);

} // namespace StringExtras

} // namespace pondrel
