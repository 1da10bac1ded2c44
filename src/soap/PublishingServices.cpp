// SPDX-License-Identifier: GPL-2.0-or-later
#include "soap/PublishingServices.h"

#include "support/oruLog.h"

namespace pondrel {

PublishingServices::PublishingServices()
    : ServiceProxy(QStringLiteral("PublishingServices"), catalogue())
{ }

const std::vector<ServiceOperation> &PublishingServices::catalogue()
{
    static const std::vector<ServiceOperation> operations {
        PONDREL_PUBLISHING_OPERATIONS(PONDREL_OPERATION_ENTRY, PONDREL_PARAMETER_ENTRY)};
    return operations;
}

void PublishingServices::announce(
    const ServiceOperation &operation, const QVariantList &values, const QStringList &names)
{
    if (operation.name == QLatin1String("CreateFolderAsset"))
        ORU_LOG(QStringLiteral("MARK"));
    else if (operation.name == QLatin1String("UpdateAccount"))
        ORU_LOG(QStringLiteral("paramValues:%1").arg(describeForLog(values, names)));
}

#define PONDREL_DEFINE_PUBLISHING_OPERATION(operation, values)                                     \
    PONDREL_DEFINE_OPERATION(PublishingServices, operation, values)
PONDREL_PUBLISHING_OPERATIONS(PONDREL_DEFINE_PUBLISHING_OPERATION, PONDREL_ARGUMENT_VALUE)

} // namespace pondrel
