// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "soap/ServiceCatalogue.h"
#include "soap/ServiceProxy.h"

namespace pondrel {

// The collection service: registering and checking the workstation, and the Agent's visits.
// Each operation takes its arguments in the service's order, for example
//     collection.CheckComputer({serviceKey, computerIdentifier});
// and returns the engine's reply dictionary unchanged (the result under "<operation>Result").
class CollectionServices : public ServiceProxy
{
public:
    CollectionServices();

    static const std::vector<ServiceOperation> &catalogue();

    PONDREL_COLLECTION_OPERATIONS(PONDREL_DECLARE_OPERATION, PONDREL_ARGUMENT_FIELD)
};

} // namespace pondrel
