// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/FuzzSupport.h"

#include "soap/SoapReply.h"

#include <QString>

using namespace pondrel;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    pondrel::fuzz::prepareProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = pondrel::fuzz::bytesOf(data, size);
    SoapReply::convert(body, QStringLiteral("Visit"));
    SoapReply::convert(body, QStringLiteral("GetAssets"));
    return 0;
}
