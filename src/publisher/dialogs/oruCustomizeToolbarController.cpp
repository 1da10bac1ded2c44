// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/dialogs/oruCustomizeToolbarController.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace pondrel {

namespace {

constexpr int kIdentifierRole = Qt::UserRole;

QString identifierOf(const QListWidgetItem *item)
{
    return item->data(kIdentifierRole).toString();
}

} // namespace

oruCustomizeToolbarController::oruCustomizeToolbarController(
    Catalogue catalogue, const QStringList &current, QWidget *parent)
    : QDialog(parent)
    , m_catalogue(std::move(catalogue))
    , m_available(new QListWidget(this))
    , m_toolbar(new QListWidget(this))
    , m_add(new QPushButton(tr("&Add"), this))
    , m_remove(new QPushButton(tr("&Remove"), this))
    , m_up(new QPushButton(tr("Move &Up"), this))
    , m_down(new QPushButton(tr("Move &Down"), this))
{
    setObjectName(QStringLiteral("CustomizeToolbar"));
    setWindowTitle(tr("Customize Toolbar"));
    m_available->setObjectName(QStringLiteral("availableItems"));
    m_toolbar->setObjectName(QStringLiteral("toolbarItems"));

    auto *buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton *button : {m_add, m_remove, m_up, m_down})
        buttons->addWidget(button);
    buttons->addStretch();

    auto *lists = new QGridLayout;
    lists->addWidget(new QLabel(tr("Available items:"), this), 0, 0);
    lists->addWidget(new QLabel(tr("Toolbar:"), this), 0, 2);
    lists->addWidget(m_available, 1, 0);
    lists->addLayout(buttons, 1, 1);
    lists->addWidget(m_toolbar, 1, 2);

    auto *box = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addWidget(box);

    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(box->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
        &oruCustomizeToolbarController::restoreDefaults);
    connect(m_add, &QPushButton::clicked, this, &oruCustomizeToolbarController::addSelected);
    connect(m_remove, &QPushButton::clicked, this, &oruCustomizeToolbarController::removeSelected);
    connect(m_up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(m_available, &QListWidget::itemDoubleClicked, this,
        &oruCustomizeToolbarController::addSelected);
    connect(m_toolbar, &QListWidget::itemDoubleClicked, this,
        &oruCustomizeToolbarController::removeSelected);
    connect(m_available, &QListWidget::currentRowChanged, this,
        &oruCustomizeToolbarController::updateButtons);
    connect(m_toolbar, &QListWidget::currentRowChanged, this,
        &oruCustomizeToolbarController::updateButtons);
    fill(current);
}

QStringList oruCustomizeToolbarController::items() const
{
    QStringList identifiers;
    for (int row = 0; row < m_toolbar->count(); ++row)
        identifiers.append(identifierOf(m_toolbar->item(row)));
    return identifiers;
}

void oruCustomizeToolbarController::fill(const QStringList &toolbarItems)
{
    m_available->clear();
    m_toolbar->clear();
    for (const QString &identifier : toolbarItems) {
        auto *item = new QListWidgetItem(m_catalogue.label(identifier), m_toolbar);
        item->setData(kIdentifierRole, identifier);
    }
    for (const QString &identifier : m_catalogue.allowed) {
        if (!m_catalogue.repeatable(identifier) && toolbarItems.contains(identifier))
            continue;
        auto *item = new QListWidgetItem(m_catalogue.label(identifier), m_available);
        item->setData(kIdentifierRole, identifier);
    }
    updateButtons();
}

void oruCustomizeToolbarController::addSelected()
{
    QListWidgetItem *chosen = m_available->currentItem();
    if (!chosen)
        return;
    const QString identifier = identifierOf(chosen);
    const int row = m_toolbar->currentRow() < 0 ? m_toolbar->count() : m_toolbar->currentRow() + 1;
    auto *item = new QListWidgetItem(m_catalogue.label(identifier));
    item->setData(kIdentifierRole, identifier);
    m_toolbar->insertItem(row, item);
    m_toolbar->setCurrentRow(row);
    if (!m_catalogue.repeatable(identifier))
        delete m_available->takeItem(m_available->row(chosen));
    updateButtons();
}

void oruCustomizeToolbarController::removeSelected()
{
    const int row = m_toolbar->currentRow();
    if (row < 0)
        return;
    const QString identifier = identifierOf(m_toolbar->item(row));
    delete m_toolbar->takeItem(row);
    if (!m_catalogue.repeatable(identifier)) {
        // Back to its place in the allowed order, among the items still offered.
        const int allowedIndex = int(m_catalogue.allowed.indexOf(identifier));
        int at = 0;
        while (at < m_available->count()
            && m_catalogue.allowed.indexOf(identifierOf(m_available->item(at))) < allowedIndex)
            ++at;
        auto *item = new QListWidgetItem(m_catalogue.label(identifier));
        item->setData(kIdentifierRole, identifier);
        m_available->insertItem(at, item);
    }
    updateButtons();
}

void oruCustomizeToolbarController::moveSelected(int step)
{
    const int row = m_toolbar->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= m_toolbar->count())
        return;
    QListWidgetItem *item = m_toolbar->takeItem(row);
    m_toolbar->insertItem(target, item);
    m_toolbar->setCurrentRow(target);
    updateButtons();
}

void oruCustomizeToolbarController::restoreDefaults()
{
    fill(m_catalogue.defaults);
}

void oruCustomizeToolbarController::updateButtons()
{
    const int row = m_toolbar->currentRow();
    m_add->setEnabled(m_available->currentItem() != nullptr);
    m_remove->setEnabled(row >= 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < m_toolbar->count());
}

} // namespace pondrel
