// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "refservice/AssetStore.h"
#include "refservice/ListingCursor.h"
#include "refservice/MarkupWriter.h"
#include "refservice/OperationContext.h"

#include <QByteArray>
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

    // The records of everything directly under parentId, in listing order, albums left out
    // unless includeAlbums; returns how many were written.
    qsizetype writeChildren(
        MarkupWriter &markup, qint64 accountId, const QString &parentId, bool includeAlbums);
    // An album anywhere, as a tree: its sharing parts are built by tree-building code.
    void writeFolder(MarkupWriter &markup, const AssetRow &row) const;

private:
    void writeFolder(pugi::xml_node record, const AssetRow &row) const;
    // Pictures, by far the most records of a listing, straight from the database's text.
    void writePicture(MarkupWriter &markup, ListingCursor &picture);
    void writeRenditions(MarkupWriter &markup, ListingCursor &picture);
    QString assetType(const AssetRow &row) const;
    QByteArrayView assetType(qint64 accountId, QByteArrayView originComputer) const;
    qint64 childCount(const AssetRow &row) const;

    Database &m_database;
    const ServiceConfig &m_config;
    const Session &m_session;
    const QByteArray m_computerId;
    bool m_includeExportLinks = true;
    bool m_includeSymbolicLinks = true;
    std::optional<std::pair<qint64, QString>> m_listedParent;
    QHash<QString, qint64> m_childCounts;
    // The renditions' address up to their identifier, followed by the last one written.
    QByteArray m_renditionUrl;
    const qsizetype m_renditionUrlPrefix;
};

} // namespace pondrel::refservice
