// SPDX-License-Identifier: GPL-2.0-or-later
// Renders an SVG icon as a square PNG of the given size at build time, so that the installed
// hicolor sizes always follow the artwork. Used only by the build; never installed.
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ICON.svg OUT.png SIZE\n", argv[0]);
        return 2;
    }
    const int size = std::atoi(argv[3]);
    QSvgRenderer renderer {QString::fromLocal8Bit(argv[1])};
    if (!renderer.isValid() || size <= 0 || size > 4096) {
        std::fprintf(stderr, "%s: cannot render %s at size %s\n", argv[0], argv[1], argv[3]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
