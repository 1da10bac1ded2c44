// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace pondrel {

// The service calls of the sharing dialogs. The dialogs never wait for the service: each call
// runs elsewhere and hands its result to the callback on the GUI thread. A failure carries the
// client's error text, for the dialog to show.
class oruSharingService
{
public:
    struct Outcome
    {
        bool ok = false;
        QString error;
    };
    using Done = std::function<void(const Outcome &)>;
    // The whole reply, or none when the call failed or the reply holds an error.
    using Reply = std::function<void(const std::optional<QVariantMap> &)>;
    // The new web address, or none and the error.
    using Created = std::function<void(const std::optional<QString> &, const QString &error)>;

    virtual ~oruSharingService() = default;

    virtual void getExportLinksInfo(const QString &albumId, Reply done) = 0;
    virtual void sendSharing(const QString &albumId, const QVariantList &recipients,
        bool createDirectAccessLinks, const QString &emailNotificationType, Done done)
        = 0;
    virtual void revokeExportLink(const QString &albumId, const QString &email, Done done) = 0;
    virtual void createSymbolicLink(const QString &albumId, const QString &name,
        const QString &description, const QString &alias, const QString &password,
        bool includeSubFolders, Created done)
        = 0;
    virtual void getSymbolicLinksInfo(const QString &linkOrIdentifier, Reply done) = 0;
    virtual void destroySymbolicLink(const QString &linkOrIdentifier, Done done) = 0;
    // The signed-on account's first name, which names the sender of mailed messages.
    virtual void senderFirstName(std::function<void(const QString &)> done) = 0;
};

} // namespace pondrel
