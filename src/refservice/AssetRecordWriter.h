// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/AssetStore.h"
#include "refservice/MarkupWriter.h"
#include "refservice/OperationContext.h"
#include "refservice/Renditions.h"

#include <QHash>

#include <optional>
#include <utility>

#include <pugixml.hpp>

namespace pondrel::refservice {

// Writes asset records (<FolderAsset>, <PictureFileAsset>) as the asking session sees them.
class AssetRecordWriter
{
public:
    AssetRecordWriter(Database &database, const ServiceConfig &config, const Session &session);

    // Whether albums list their export links and their web addresses (both by default).
    void setIncludedLinks(bool exportLinks, bool symbolicLinks)
    {
        m_includeExportLinks = exportLinks;
        m_includeSymbolicLinks = symbolicLinks;
    }

    // Reads the renditions and album sizes of everything directly under parentId at once, so
    // that writing the rows of that listing asks the database nothing per row.
    void prefetchChildrenOf(qint64 accountId, const QString &parentId);

    // Pictures, by far the most records of a listing, are written straight as text; albums,
    // whose sharing parts are built as trees, as a tree each.
    void write(MarkupWriter &markup, const AssetRow &row) const;

private:
    void writeFolder(pugi::xml_node record, const AssetRow &row) const;
    void writePicture(MarkupWriter &markup, const AssetRow &row) const;
    QString assetType(const AssetRow &row) const;
    bool isPrefetched(const AssetRow &row) const;
    qint64 childCount(const AssetRow &row) const;
    QList<RenditionRow> renditionsOf(const AssetRow &row) const;

    Database &m_database;
    const ServiceConfig &m_config;
    const Session &m_session;
    bool m_includeExportLinks = true;
    bool m_includeSymbolicLinks = true;
    std::optional<std::pair<qint64, QString>> m_prefetchedParent;
    QHash<QString, QList<RenditionRow>> m_renditions;
    QHash<QString, qint64> m_childCounts;
};

} // namespace pondrel::refservice
