// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "publisher/dialogs/oruSharingService.h"

namespace pondrel {

class oruNetwork;
class oruServiceThread;

// The sharing dialogs' calls, each run on the service thread with the client; results come
// back on the GUI thread with the client's error text on failure.
class oruSharingServiceCalls : public oruSharingService
{
public:
    oruSharingServiceCalls(oruServiceThread &service, oruNetwork &network);

    void getExportLinksInfo(const QString &albumId, Reply done) override;
    void sendSharing(const QString &albumId, const QVariantList &recipients,
        bool createDirectAccessLinks, const QString &emailNotificationType, Done done) override;
    void revokeExportLink(const QString &albumId, const QString &email, Done done) override;
    void createSymbolicLink(const QString &albumId, const QString &name, const QString &description,
        const QString &alias, const QString &password, bool includeSubFolders,
        Created done) override;
    void getSymbolicLinksInfo(const QString &linkOrIdentifier, Reply done) override;
    void destroySymbolicLink(const QString &linkOrIdentifier, Done done) override;
    void senderFirstName(std::function<void(const QString &)> done) override;

private:
    void runForOutcome(std::function<bool(oruNetwork &)> call, Done done);

    oruServiceThread &m_service;
    oruNetwork &m_network;
};

} // namespace pondrel
