// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/FuzzSupport.h"

#include "refservice/ServiceFault.h"
#include "refservice/SoapRequest.h"

using namespace pondrel::refservice;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    pondrel::fuzz::prepareProcess();
    return 0;
}

// The operations read their parameters by name; the names below are the ones most of them use.
// A parameter of the wrong form is a ServiceFault, which the service answers as a SOAP fault;
// anything else escaping would end the service.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString errorMsg;
    const std::optional<SoapRequest> request
        = SoapRequest::parse(pondrel::fuzz::bytesOf(data, size), errorMsg);
    if (!request)
        return 0;
    for (const char *name : {"sessionIdentifier", "accountIdentifier", "password",
             "parentIdentifier", "computerIdentifier", "previousCommandBatchesStatuses"}) {
        const QString parameter = QString::fromLatin1(name);
        request->has(parameter);
        request->textOr(parameter, QString());
        SoapRequest::localName(request->node(parameter));
        try {
            request->boolean(parameter, false);
        } catch (const ServiceFault &) { }
        try {
            request->integer(parameter);
        } catch (const ServiceFault &) { }
    }
    return 0;
}
