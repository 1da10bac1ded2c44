// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "soap/ServiceCatalogue.h"
#include "soap/ServiceProxy.h"

namespace pondrel {

// The publishing service: accounts, sessions, assets, sharing, links and renditions. Only the
// operations this client calls are generated. Each takes its arguments in the service's order,
// for example
//     publishing.GetAssets({sessionIdentifier, parentIdentifier, mode, true, true});
// and returns the engine's reply dictionary unchanged (the result under "<operation>Result").
class PublishingServices : public ServiceProxy
{
public:
    PublishingServices();

    static const std::vector<ServiceOperation> &catalogue();

    PONDREL_PUBLISHING_OPERATIONS(PONDREL_DECLARE_OPERATION, PONDREL_ARGUMENT_FIELD)

protected:
    void announce(const ServiceOperation &operation, const QVariantList &values,
        const QStringList &names) override;
};

} // namespace pondrel
