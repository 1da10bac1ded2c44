// SPDX-License-Identifier: GPL-2.0-or-later
#include "client/oruNetwork.h"
#include "client/oruNetwork_digest.h"
#include "client/oruNetwork_photoDB.h"

namespace pondrel {

QString oruNetwork::photoDBName()
{
    return oruNetworkPhotoDB::photoDBName();
}

bool oruNetwork::addPhotoToDB(const QString &path, const QString &moniker, const QString &hash)
{
    QString message;
    if (oruNetworkPhotoDB::addPhotoToDB(path, moniker, hash, &message))
        return true;
    return failWith(message);
}

std::optional<QVariantMap> oruNetwork::getPhotoFromDB(const QString &moniker)
{
    return oruNetworkPhotoDB::getPhotoFromDB(moniker);
}

void oruNetwork::removePhotoFromDB(const QString &moniker)
{
    oruNetworkPhotoDB::removePhotoFromDB(moniker);
}

int oruNetwork::vacuumDB()
{
    return oruNetworkPhotoDB::vacuumDB();
}

std::optional<QString> oruNetwork::sha1FromFile(const QString &path)
{
    return oruNetworkDigest::sha1FromFile(path);
}

std::optional<QString> oruNetwork::md5(const QString &text)
{
    return oruNetworkDigest::md5(text);
}

bool oruNetwork::checkHashIsSame(const QString &path, const QString &hash)
{
    return oruNetworkDigest::checkHashIsSame(path, hash);
}

} // namespace pondrel
