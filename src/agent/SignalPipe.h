// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace pondrel {

// Turns SIGTERM and SIGINT into a Qt signal on the main thread. The handler only writes the
// signal's number into a socket pair (the one thing a handler may safely do); the event loop
// reads it and emits received().
class SignalPipe : public QObject
{
    Q_OBJECT

public:
    explicit SignalPipe(QObject *parent = nullptr);
    ~SignalPipe() override;

    // False when the pipe or the handlers could not be set up.
    bool isValid() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readSignals();

    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace pondrel
