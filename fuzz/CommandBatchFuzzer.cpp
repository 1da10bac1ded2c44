// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/FuzzSupport.h"

#include "client/oruNetwork.h"

using namespace pondrel;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    pondrel::fuzz::prepareProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    oruNetwork::parseCommands(QString::fromUtf8(pondrel::fuzz::bytesOf(data, size)));
    return 0;
}
