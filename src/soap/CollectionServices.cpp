// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/CollectionServices.h"

namespace pondrel {

CollectionServices::CollectionServices()
    : ServiceProxy(QStringLiteral("CollectionServices"), catalogue())
{ }

const std::vector<ServiceOperation> &CollectionServices::catalogue()
{
    static const std::vector<ServiceOperation> operations {
        PONDREL_COLLECTION_OPERATIONS(PONDREL_OPERATION_ENTRY, PONDREL_PARAMETER_ENTRY)};
    return operations;
}

#define PONDREL_DEFINE_COLLECTION_OPERATION(operation, values)                                     \
    PONDREL_DEFINE_OPERATION(CollectionServices, operation, values)
PONDREL_COLLECTION_OPERATIONS(PONDREL_DEFINE_COLLECTION_OPERATION, PONDREL_ARGUMENT_VALUE)

} // namespace pondrel
