// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

class QDialog;
class QPushButton;
class QWidget;
class QTableWidget;

namespace pondrel::SharingDialogSupport {

// Runs a sheet or dialog modally and returns QDialog::Accepted or Rejected; the Publisher
// passes its alert presenter's, so that tests can answer the sheets too.
using DialogRunner = std::function<int(QDialog &)>;
DialogRunner windowModalRunner();

// A record or reply as the log shows it.
QString describe(const QVariant &value);
// A record's value as the lists show it: the null marker shows as nothing.
QString cellText(const QVariant &value);
// An ISO 8601 date text as "%Y/%m/%d" in the date's own zone; nothing when it is no date or
// the service's "0001-01-01T00:00:00+00:00" that stands for none.
QString dateText(const QVariant &value);

// A push button named as its outlet; Return in a text field does not press it.
QPushButton *makeButton(QWidget *parent, const QString &text, const char *name);

// Columns by identifier and title; each cell's text is asked for by record and identifier.
using Column = QPair<QString, QString>;
using CellText = std::function<QString(const QVariantMap &record, const QString &column)>;
void setUpTable(QTableWidget &table, const QList<Column> &columns);
void reloadTable(QTableWidget &table, const QVariantList &rows, const CellText &cell);
// The selected row, or -1.
int selectedRow(const QTableWidget &table);

// The feed of a web gallery: its address with every "a=" turned into "r=". An address without
// one is its own feed.
QString rssAddress(const QString &webAddress);
// The text mailed for a web address: the address first, its feed second.
QString webGalleryMessage(const QString &webAddress);
// A message for the mail program, with no recipient. Subject and body are percent-escaped as
// UTF-8, so that any name or text survives ("&" cannot end the subject early).
QUrl mailtoUrl(const QString &senderFirstName, const QString &message);

} // namespace pondrel::SharingDialogSupport
