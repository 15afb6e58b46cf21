#include "app/PictureBox.h"

#include <gtest/gtest.h>

namespace {

// Every pixel tells its coordinates: red = x, green = y, blue 200.
QImage CoordinateImage(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) image.setPixel(x, y, qRgb(x, y, 200));
    }
    return image;
}

TEST(PictureBoxTest, ShowsThePictureUnscaledFromTheTopLeftOrCentred) {
    struct Case {
        const char* name;
        PictureBox::Placement placement;
        QSize box, picture;
        QPoint probe;  // a pixel of the control
        QPoint shown;  // the picture pixel it shows, or (-1, -1) for the background
    };
    using P = PictureBox::Placement;
    const Case cases[] = {
        {"top-left, clipped", P::TopLeft, {20, 10}, {30, 12}, {19, 9}, {19, 9}},
        {"top-left, smaller", P::TopLeft, {20, 10}, {8, 6}, {10, 8}, {-1, -1}},
        {"centred, wider", P::Centre, {16, 10}, {24, 10}, {0, 0}, {4, 0}},
        {"centred, smaller", P::Centre, {20, 10}, {10, 4}, {5, 3}, {0, 0}},
        {"centred, beside it", P::Centre, {20, 10}, {10, 4}, {4, 3}, {-1, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PictureBox box;
        box.resize(c.box);
        box.setPalette(QPalette(Qt::black));
        box.setAutoFillBackground(true);
        box.SetPicture(CoordinateImage(c.picture));
        box.SetPlacement(c.placement);
        const QRgb pixel = box.grab().toImage().pixel(c.probe);
        EXPECT_EQ(qBlue(pixel), c.shown.x() < 0 ? 0 : 200);
        if (c.shown.x() >= 0) {
            EXPECT_EQ(QPoint(qRed(pixel), qGreen(pixel)), c.shown);
        }
    }
}

// A picture drawn at twice the size for a scaled screen is placed by its layout size.
TEST(PictureBoxTest, APictureForAScaledScreenIsPlacedByItsLayoutSize) {
    PictureBox box;
    box.resize(20, 10);
    QImage sharp(20, 8, QImage::Format_RGB32);
    sharp.setDevicePixelRatio(2.0);
    box.SetPicture(sharp);
    box.SetPlacement(PictureBox::Placement::Centre);
    EXPECT_EQ(box.PictureOrigin(), QPoint(5, 3));
}

}  // namespace
