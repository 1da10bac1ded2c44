// SPDX-License-Identifier: GPL-2.0-or-later
#include "publisher/preview/LoadingSpinner.h"

#include <QPainter>

namespace pondrel {

namespace {
constexpr int kSpokes = 12;
constexpr int kStepMs = 80;
} // namespace

LoadingSpinner::LoadingSpinner(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(kSide, kSide);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void LoadingSpinner::startAnimation()
{
    if (!m_timer.isActive())
        m_timer.start();
    show();
}

void LoadingSpinner::stopAnimation()
{
    m_timer.stop();
    hide();
}

void LoadingSpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const QColor spoke = palette().color(QPalette::WindowText);
    for (int i = 0; i < kSpokes; ++i) {
        QColor color = spoke;
        color.setAlphaF(0.15 + 0.85 * ((i + kSpokes - m_step) % kSpokes) / double(kSpokes - 1));
        painter.setPen(QPen(color, 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -kSide * 0.22), QPointF(0, -kSide * 0.42));
        painter.rotate(360.0 / kSpokes);
    }
}

} // namespace pondrel
