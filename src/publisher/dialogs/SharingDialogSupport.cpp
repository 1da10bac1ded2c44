// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/SharingDialogSupport.h"

#include "support/ISO8601Parsing.h"
#include "support/Values.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

namespace pondrel::SharingDialogSupport {

DialogRunner windowModalRunner()
{
    return [](QDialog &dialog) {
        dialog.setWindowModality(Qt::WindowModal);
        return dialog.exec();
    };
}

QString describe(const QVariant &value)
{
    QString text;
    QDebug(&text).noquote() << value;
    return text;
}

QString cellText(const QVariant &value)
{
    return Values::isNullMarker(value) ? QString() : value.toString();
}

QString dateText(const QVariant &value)
{
    const std::optional<QDateTime> date = ISO8601Parsing::calendarDateWithString(cellText(value));
    // The service's "no date" (never accessed) reads better as nothing than as year 1.
    static const QDateTime noDate(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    if (!date || date->toUTC() == noDate)
        return {};
    return date->toString(QStringLiteral("yyyy/MM/dd"));
}

QPushButton *makeButton(QWidget *parent, const QString &text, const char *name)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

void setUpTable(QTableWidget &table, const QList<Column> &columns)
{
    table.setColumnCount(static_cast<int>(columns.size()));
    for (int index = 0; index < columns.size(); ++index) {
        auto *header = new QTableWidgetItem(columns[index].second);
        header->setData(Qt::UserRole, columns[index].first);
        table.setHorizontalHeaderItem(index, header);
    }
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setSelectionMode(QAbstractItemView::SingleSelection);
    table.setEditTriggers(QAbstractItemView::NoEditTriggers);
    table.setWordWrap(false);
    table.verticalHeader()->hide();
    table.horizontalHeader()->setStretchLastSection(true);
}

void reloadTable(QTableWidget &table, const QVariantList &rows, const CellText &cell)
{
    table.clearSelection();
    table.setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        const QVariantMap record = rows[row].toMap();
        for (int column = 0; column < table.columnCount(); ++column) {
            const QString identifier
                = table.horizontalHeaderItem(column)->data(Qt::UserRole).toString();
            table.setItem(row, column, new QTableWidgetItem(cell(record, identifier)));
        }
    }
    table.resizeColumnsToContents();
}

int selectedRow(const QTableWidget &table)
{
    const QList<QTableWidgetSelectionRange> ranges = table.selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

QString rssAddress(const QString &webAddress)
{
    QString feed = webAddress;
    return feed.replace(QStringLiteral("a="), QStringLiteral("r="));
}

QString webGalleryMessage(const QString &webAddress)
{
    return QStringLiteral("Hello,\n\nvisit the web gallery at:\n%1\n\nor subscribe via RSS:\n%2\n")
        .arg(webAddress, rssAddress(webAddress));
}

QUrl mailtoUrl(const QString &senderFirstName, const QString &message)
{
    const QString subject
        = QCoreApplication::translate("oruManageWebAddressController", "A Web Gallery by %1")
              .arg(senderFirstName);
    const QByteArray encoded = "mailto:?subject=" + QUrl::toPercentEncoding(subject)
        + "&BODY=" + QUrl::toPercentEncoding(message);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}

} // namespace pondrel::SharingDialogSupport
