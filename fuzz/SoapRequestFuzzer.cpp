// SPDX-License-Identifier: GPL-2.0-or-later
#include "FuzzSupport.h"

#include "refservice/ServiceFault.h"
#include "refservice/SoapRequest.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    pondrel::fuzz::prepareProcess();
    return 0;
}

// The operations read their parameters by name; the names below are the ones most of them use.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString errorMsg;
    const std::optional<SoapRequest> request
        = SoapRequest::parse(pondrel::fuzz::bytesOf(data, size), errorMsg);
    if (!request)
        return 0;
    for (const char *name : {"sessionIdentifier", "accountIdentifier", "password", "parentIdentifier",
             "computerIdentifier", "previousCommandBatchesStatuses"}) {
        const QString parameter = QString::fromLatin1(name);
        request->has(parameter);
        request->textOr(parameter, QString());
        request->boolean(parameter, false);
        try {
            request->integer(parameter);
        } catch (const ServiceFault &) {
        }
        SoapRequest::localName(request->node(parameter));
    }
    return 0;
}
