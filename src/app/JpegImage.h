#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

// Decodes the JPEG pictures of the windows with libjpeg, called directly: no image plugin of Qt
// is involved, so a missing plugin cannot leave a window blank. Damaged data (including a
// truncated file, which libjpeg would otherwise pad with grey) raises OvException with kUnknownError;
// it never aborts the process.
class JpegImage {
public:
    JpegImage() = delete;

    // Largest picture accepted, in pixels; a header announcing more is refused before any
    // memory is set aside for it.
    static constexpr qint64 kMaxPixels = 16 * 1024 * 1024;

    // The picture held in the bytes of a JPEG file, as an RGB888 image.
    // Raises OvException "Cannot decode JPEG picture: " followed by the reason.
    [[nodiscard]] static QImage Decode(QByteArrayView bytes);

    // Reads and decodes a JPEG file or embedded resource, for example ":/images/banner.jpg".
    // Calling it makes sure the pictures embedded in this library (resources/resources.qrc) are
    // linked in and registered, so ":/images/..." paths also work for QFile, QIcon and QPixmap.
    // Raises OvException `Cannot open picture "<path>"` when it cannot be read, and
    // `Cannot decode JPEG picture "<path>": ` followed by the reason for damaged data.
    [[nodiscard]] static QImage Load(const QString& path);
    // The picture drawn for a screen of the device pixel ratio: above 1 (150%, 200%) the one drawn
    // at twice the size beside it ("name@2x.jpg"), marked with a ratio of 2 so that it keeps the
    // layout size.
    [[nodiscard]] static QImage LoadForScreen(const QString& path, qreal devicePixelRatio);
};
