// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <functional>

namespace pondrel {

// Looks for a newer Publisher in the background. Before it restarts the Publisher into a new
// version it calls the relaunch callback, which tells the Agent to quit. A check that finds
// nothing to do says nothing.
class oruUpdateChecker
{
public:
    using RelaunchCallback = std::function<void()>;

    virtual ~oruUpdateChecker() = default;
    virtual void checkForUpdatesInBackground() = 0;
    void setWillRelaunchCallback(RelaunchCallback callback)
    {
        m_willRelaunch = std::move(callback);
    }

protected:
    void willRelaunch() const
    {
        if (m_willRelaunch)
            m_willRelaunch();
    }

private:
    RelaunchCallback m_willRelaunch;
};

// On Linux the package manager updates the programs, so the Publisher itself never finds an
// update and never relaunches.
class oruPackageManagerUpdates : public oruUpdateChecker
{
public:
    void checkForUpdatesInBackground() override { }
};

} // namespace pondrel
