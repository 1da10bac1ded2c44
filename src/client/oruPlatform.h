// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// What the client asks of the operating system about the workstation it runs on.
namespace oruPlatform {

// True when a debugger traces this process: "TracerPid" of the status file is not 0.
bool isDebuggerAttached(const QString &statusPath = QStringLiteral("/proc/self/status"));

// The user-visible name of the workstation: PRETTY_HOSTNAME of the machine-info file when it
// is set, else the host name.
QString computerName(const QString &machineInfoPath = QStringLiteral("/etc/machine-info"));

// The value of PRETTY_HOSTNAME in the text of a machine-info file (shell-style assignments,
// values optionally quoted); empty when it is not set.
QString prettyHostname(const QByteArray &machineInfo);

} // namespace oruPlatform

} // namespace pondrel
