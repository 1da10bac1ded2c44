// SPDX-License-Identifier: GPL-2.0-or-later
// The service thread on the way out: queued work still runs, later work never does.
#include "publisher/app/oruServiceThread.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>

using namespace pondrel;

TEST(ServiceThreadTest, FinishingRunsQueuedWorkDropsAnswersAndRefusesWorkAskedMeanwhile)
{
    QObject context;
    oruServiceThread service(&context);
    std::atomic<bool> queuedRan = false;
    std::atomic<bool> lateRan = false;
    bool answered = false;
    service.run(
        [&] {
            // Long enough for the wait in finish() to let the context's timer fire.
            QThread::msleep(200);
            queuedRan = true;
        },
        [&] { answered = true; });
    QTimer::singleShot(0, &context, [&] { service.run([&] { lateRan = true; }); });

    service.finish();
    QCoreApplication::sendPostedEvents();

    EXPECT_TRUE(queuedRan);
    EXPECT_FALSE(answered);
    EXPECT_FALSE(lateRan);
}
