// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/app/oruSharingServiceCalls.h"

#include "client/oruNetwork.h"
#include "publisher/app/oruServiceThread.h"

namespace pondrel {

namespace {

struct CreatedLink
{
    std::optional<QString> link;
    QString error;
};

} // namespace

oruSharingServiceCalls::oruSharingServiceCalls(oruServiceThread &service, oruNetwork &network)
    : m_service(service)
    , m_network(network)
{ }

void oruSharingServiceCalls::runForOutcome(std::function<bool(oruNetwork &)> call, Done done)
{
    m_service.run<Outcome>(
        [net = &m_network, call = std::move(call)] {
            const bool ok = call(*net);
            return Outcome {ok, ok ? QString() : net->errorMsg()};
        },
        std::move(done));
}

void oruSharingServiceCalls::getExportLinksInfo(const QString &albumId, Reply done)
{
    m_service.run<std::optional<QVariantMap>>(
        [net = &m_network, albumId] { return net->getExportLinksInfo({albumId}); },
        std::move(done));
}

void oruSharingServiceCalls::sendSharing(const QString &albumId, const QVariantList &recipients,
    bool createDirectAccessLinks, const QString &emailNotificationType, Done done)
{
    runForOutcome(
        [=](oruNetwork &net) {
            return net.sendSharing(
                {albumId}, recipients, createDirectAccessLinks, emailNotificationType);
        },
        std::move(done));
}

void oruSharingServiceCalls::revokeExportLink(
    const QString &albumId, const QString &email, Done done)
{
    runForOutcome(
        [=](oruNetwork &net) { return net.revokeExportLink({albumId}, email); }, std::move(done));
}

void oruSharingServiceCalls::createSymbolicLink(const QString &albumId, const QString &name,
    const QString &description, const QString &alias, const QString &password,
    bool includeSubFolders, Created done)
{
    m_service.run<CreatedLink>(
        [=, net = &m_network] {
            const std::optional<QString> link = net->createSymbolicLink(
                {albumId}, name, description, alias, password, includeSubFolders);
            return CreatedLink {link, link ? QString() : net->errorMsg()};
        },
        [done = std::move(done)](
            const CreatedLink &created) { done(created.link, created.error); });
}

void oruSharingServiceCalls::getSymbolicLinksInfo(const QString &linkOrIdentifier, Reply done)
{
    m_service.run<std::optional<QVariantMap>>(
        [net = &m_network, linkOrIdentifier] {
            return net->getSymbolicLinksInfo(linkOrIdentifier);
        },
        std::move(done));
}

void oruSharingServiceCalls::destroySymbolicLink(const QString &linkOrIdentifier, Done done)
{
    runForOutcome([=](oruNetwork &net) { return net.destroySymbolicLink(linkOrIdentifier); },
        std::move(done));
}

void oruSharingServiceCalls::senderFirstName(std::function<void(const QString &)> done)
{
    m_service.run<QString>([net = &m_network] { return net->firstName(); }, std::move(done));
}

} // namespace pondrel
