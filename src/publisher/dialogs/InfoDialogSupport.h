// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QComboBox>
#include <QString>

#include <functional>

namespace pondrel::InfoDialogSupport {

// Shows an alert with one "OK" button; the Publisher routes it through its alert presenter.
using Alert = std::function<void(const QString &title, const QString &text)>;
Alert messageBoxAlert(QWidget *parent);

// Permission bits as the dialogs edit them.
constexpr quint32 kAllowComments = 1;
constexpr quint32 kAllowExport = 2;
constexpr quint32 kAllowDownload = 4;
constexpr quint32 kPictureAlways = 8;
constexpr quint32 kAllowWallpaper = 16;

// Entries tagged (item data) with the rating number and with the cover-picture option value.
void fillRatings(QComboBox &popUp);
void fillCoverPictureOptions(QComboBox &popUp);
// Selects the entry with that tag; none when no entry has it.
void selectTag(QComboBox &popUp, quint32 tag);
quint32 selectedTag(const QComboBox &popUp);

} // namespace pondrel::InfoDialogSupport
