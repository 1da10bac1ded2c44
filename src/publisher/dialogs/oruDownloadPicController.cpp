// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruDownloadPicController.h"

#include "support/oruLog.h"
#include "ui_DownloadPicture.h"

#include <algorithm>

namespace pondrel {

oruDownloadPicController::oruDownloadPicController(
    const QVariantList &assetRenditionList, const QString &pictureName, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::DownloadPicture>())
    , m_assetRenditionList(assetRenditionList)
    , m_pictureName(pictureName)
{
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("%1:%2").arg(windowTitle(), pictureName));
    m_ui->okButton->setEnabled(false);
    fillTable();
    connect(m_ui->okButton, &QPushButton::clicked, this, &oruDownloadPicController::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &oruDownloadPicController::cancel);
    connect(m_ui->renditionTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &oruDownloadPicController::selectionChanged);
}

oruDownloadPicController::~oruDownloadPicController() = default;

QString oruDownloadPicController::cellText(const QVariantMap &rendition, const QString &column)
{
    if (column == QLatin1String("type"))
        return rendition.value("Name").toString();
    if (column == QLatin1String("dimensions"))
        return QStringLiteral("%1 x %2").arg(
            rendition.value("Width").toString(), rendition.value("Height").toString());
    if (column == QLatin1String("filesize")) {
        const double kilobytes = std::max(1.0, rendition.value("FileSize").toDouble() / 1024.0);
        return QString::asprintf("%.2fk", kilobytes);
    }
    return {};
}

void oruDownloadPicController::fillTable()
{
    QTableWidget *table = m_ui->renditionTable;
    table->setColumnCount(int(kColumns.size()));
    table->setHorizontalHeaderLabels({tr("Type"), tr("Dimensions"), tr("Size")});
    table->setRowCount(int(m_assetRenditionList.size()));
    for (int row = 0; row < m_assetRenditionList.size(); ++row) {
        const QVariantMap rendition = m_assetRenditionList.at(row).toMap();
        for (int column = 0; column < kColumns.size(); ++column)
            table->setItem(
                row, column, new QTableWidgetItem(cellText(rendition, kColumns.at(column))));
    }
}

int oruDownloadPicController::selectedRendition() const
{
    const QModelIndexList rows = m_ui->renditionTable->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void oruDownloadPicController::selectionChanged()
{
    m_ui->okButton->setEnabled(selectedRendition() >= 0);
}

void oruDownloadPicController::accept()
{
    ORU_LOG(QStringLiteral("accept: row %1").arg(selectedRendition()));
    QDialog::accept();
}

void oruDownloadPicController::cancel()
{
    QDialog::reject();
}

} // namespace pondrel
