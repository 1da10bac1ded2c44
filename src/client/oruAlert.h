// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

namespace pondrel {

// How a program shows the client's critical alerts: a title, a message and one "OK" button.
// The client library cannot know whether it runs under a window system, so each program hands
// its own presenter to its client: the Publisher a modal message box on its main thread, the
// Agent and pondrel-tool the log presenter below. show() returns once the user has dismissed
// the alert (or at once when nobody is there to dismiss it).
class oruAlert
{
public:
    virtual ~oruAlert() = default;
    virtual void show(const QString &title, const QString &message) = 0;
};

// The presenter of programs without windows: a diagnostic log line and the platform log line
// on standard error, which is written whatever the "Debug" setting says.
class oruLogAlert : public oruAlert
{
public:
    void show(const QString &title, const QString &message) override;
};

} // namespace pondrel
