// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

namespace pondrel {

// The header above a grid section: a bold title at the top left and a short grey-to-white rule
// near the bottom edge.
class oruHeaderView : public QWidget
{
    Q_OBJECT

public:
    static constexpr qreal ruleWidth = 400.0;

    explicit oruHeaderView(QWidget *parent = nullptr);

    QString headerText() const { return headerText_; }
    void setHeaderText(const QString &text);
    QFont headerAttributes() const { return headerAttributes_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QString headerText_;
    QFont headerAttributes_;
};

} // namespace pondrel
