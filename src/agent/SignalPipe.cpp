// SPDX-License-Identifier: GPL-2.0-or-later
#include "agent/SignalPipe.h"

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pondrel {

namespace {

// Written by the handler, read by the main thread; one pipe per process.
int signalFds[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalFds[0], &number, 1);
    errno = savedErrno;
}

bool installHandler(int signalNumber)
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(signalNumber, &action, nullptr) == 0;
}

} // namespace

SignalPipe::SignalPipe(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalFds) != 0)
        return;
    if (!installHandler(SIGTERM) || !installHandler(SIGINT))
        return;
    m_notifier = std::make_unique<QSocketNotifier>(signalFds[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalPipe::readSignals);
}

SignalPipe::~SignalPipe()
{
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    m_notifier.reset();
    for (int &fd : signalFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SignalPipe::readSignals()
{
    unsigned char number = 0;
    while (::read(signalFds[1], &number, 1) == 1)
        emit received(number);
}

} // namespace pondrel
