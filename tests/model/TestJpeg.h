#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

// Picture files made by the tests, with exactly the metadata a case needs.
namespace TestJpeg {

struct Metadata
{
    std::optional<int> orientation;
    QString dateTimeDigitized;
    // Stored as the file's Exif thumbnail (JPEG) when not null.
    QImage exifThumbnail;

    Metadata oriented(int value) const
    {
        Metadata copy = *this;
        copy.orientation = value;
        return copy;
    }
    Metadata digitized(const QString &exifTime) const
    {
        Metadata copy = *this;
        copy.dateTimeDigitized = exifTime;
        return copy;
    }
    Metadata thumbnail(const QImage &image) const
    {
        Metadata copy = *this;
        copy.exifThumbnail = image;
        return copy;
    }
};

// Four quadrants as stored: top-left red, top-right green, bottom-left blue, bottom-right white.
QImage quadrants(int width, int height);
QImage filled(int width, int height, QColor colour);

// Writes the image as a JPEG and then the metadata into it; false on failure.
bool write(const QString &path, const QImage &image, const Metadata &metadata = {});

// The colour at a fraction of the image's width and height, e.g. (0.25, 0.25).
QColor colourAt(const QImage &image, double x, double y);
// True when the colour is within tolerance of expected in every channel (JPEG noise).
bool near(const QColor &colour, const QColor &expected, int tolerance = 40);

} // namespace TestJpeg
