// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

namespace pondrel {

// A spinning progress indicator: twelve spokes, the brightest one turning. Hidden while stopped.
class LoadingSpinner : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSide = 32;

    explicit LoadingSpinner(QWidget *parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

} // namespace pondrel
