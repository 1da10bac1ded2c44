// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/views/PhotoViewHost.h"

namespace pondrel {

namespace {

PhotoViewHost *installedHost = nullptr;

} // namespace

PhotoViewHost &PhotoViewHost::shared()
{
    static PhotoViewHost silentHost;
    return installedHost ? *installedHost : silentHost;
}

void PhotoViewHost::setShared(PhotoViewHost *host)
{
    installedHost = host;
}

} // namespace pondrel
