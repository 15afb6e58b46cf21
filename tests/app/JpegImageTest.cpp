#include "app/JpegImage.h"

#include "errors/Messages.h"
#include "errors/OvException.h"

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

QByteArray ReadResource(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

// Offset of the first marker 0xFF <code> in a JPEG file, or -1.
qsizetype FindMarker(const QByteArray& bytes, unsigned char code) {
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) == 0xFF &&
            static_cast<unsigned char>(bytes[i + 1]) == code) {
            return i;
        }
    }
    return -1;
}

// Rewrites the height and width of the baseline frame header (SOF0: marker, length, precision,
// height, width).
QByteArray WithFrameSize(QByteArray bytes, int width, int height) {
    const qsizetype sof = FindMarker(bytes, 0xC0);
    EXPECT_GT(sof, 0);
    bytes[sof + 5] = static_cast<char>(height >> 8);
    bytes[sof + 6] = static_cast<char>(height & 0xFF);
    bytes[sof + 7] = static_cast<char>(width >> 8);
    bytes[sof + 8] = static_cast<char>(width & 0xFF);
    return bytes;
}

void ExpectNear(QRgb actual, QColor expected, int tolerance, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_NEAR(qRed(actual), expected.red(), tolerance);
    EXPECT_NEAR(qGreen(actual), expected.green(), tolerance);
    EXPECT_NEAR(qBlue(actual), expected.blue(), tolerance);
}

// Mean absolute difference of two images of the same size, over all channels.
double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum +=
                std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

struct Picture {
    const char* path;
    int width;
    int height;
};

// Sizes the main window and the About box lay the pictures out for.
const std::vector<Picture> kPictures = {
    {":/images/banner.jpg", 765, 95},  {":/images/menu-bg.jpg", 160, 70},
    {":/images/setip.jpg", 104, 38},   {":/images/setip-hot.jpg", 104, 38},
    {":/images/manage.jpg", 104, 38},  {":/images/manage-hot.jpg", 104, 38},
    {":/images/refresh.jpg", 104, 38}, {":/images/refresh-hot.jpg", 104, 38},
    {":/images/exit.jpg", 104, 38},    {":/images/exit-hot.jpg", 104, 38},
    {":/images/about.jpg", 104, 38},   {":/images/about-hot.jpg", 104, 38},
    {":/images/icon.jpg", 32, 32},
};

const std::vector<std::string> kButtons = {"setip", "manage", "refresh", "exit", "about"};

const QColor kPanelColour(197, 203, 205);

// Above 100% the pictures drawn at twice the size are used, and keep the layout size.
TEST(JpegImageTest, EveryLayoutPictureHasASharpTwinForScaledScreens) {
    for (const auto& picture : kPictures) {
        const QString path = QString::fromLatin1(picture.path);
        if (path.endsWith(QLatin1String("icon.jpg"))) continue;
        SCOPED_TRACE(picture.path);
        const QSize layout(picture.width, picture.height);
        EXPECT_EQ(JpegImage::LoadForScreen(path, 1.0).size(), layout);
        for (const qreal ratio : {1.5, 2.0}) {
            const QImage sharp = JpegImage::LoadForScreen(path, ratio);
            EXPECT_EQ(sharp.size(), 2 * layout);
            EXPECT_EQ(sharp.deviceIndependentSize().toSize(), layout);
        }
    }
}

TEST(JpegImageTest, EveryEmbeddedPictureDecodesAtItsLayoutSize) {
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.path);
        const QImage image = JpegImage::Load(picture.path);
        EXPECT_EQ(image.width(), picture.width);
        EXPECT_EQ(image.height(), picture.height);
        EXPECT_EQ(image.format(), QImage::Format_RGB888);
        EXPECT_LT(ReadResource(picture.path).size(), 100 * 1024) << "keep the artwork small";
    }
}

TEST(JpegImageTest, DesktopIconIsEmbeddedAsPng) {
    const QImage icon = QImage::fromData(ReadResource(":/images/icon.png"), "PNG");
    EXPECT_EQ(icon.size(), QSize(64, 64));
}

// The artwork script draws the buttons on the panel colour and the banner from a dark navy left
// edge; these spots show the decoder hands back the colours the script drew, in RGB order.
TEST(JpegImageTest, ArtworkColoursMatchWhatTheScriptDrew) {
    for (const std::string& stem : kButtons) {
        for (const std::string& file : {stem + ".jpg", stem + "-hot.jpg"}) {
            const QImage image = JpegImage::Load(QString::fromStdString(":/images/" + file));
            ExpectNear(image.pixel(0, 0), kPanelColour, 8, file + " top-left corner");
            ExpectNear(image.pixel(103, 37), kPanelColour, 8, file + " bottom-right corner");
        }
    }
    const QImage banner = JpegImage::Load(":/images/banner.jpg");
    ExpectNear(banner.pixel(3, 60), QColor(24, 48, 73), 10, "banner left edge (#183049)");
}

TEST(JpegImageTest, HighlightedButtonsAreVisiblyLit) {
    for (const std::string& stem : kButtons) {
        SCOPED_TRACE(stem);
        const QImage plain = JpegImage::Load(QString::fromStdString(":/images/" + stem + ".jpg"));
        const QImage hot = JpegImage::Load(QString::fromStdString(":/images/" + stem + "-hot.jpg"));
        EXPECT_GT(MeanDifference(plain, hot), 30.0);
        // The lit plate is blue: well more blue than red in its middle, left of the lettering.
        const QRgb lit = hot.pixel(6, 18);
        EXPECT_GT(qBlue(lit) - qRed(lit), 60);
    }
}

TEST(JpegImageTest, ButtonsShowDifferentWords) {
    for (size_t i = 0; i < kButtons.size(); ++i) {
        for (size_t j = i + 1; j < kButtons.size(); ++j) {
            SCOPED_TRACE(kButtons[i] + " vs " + kButtons[j]);
            const QImage a = JpegImage::Load(QString::fromStdString(":/images/" + kButtons[i] + ".jpg"));
            const QImage b = JpegImage::Load(QString::fromStdString(":/images/" + kButtons[j] + ".jpg"));
            EXPECT_GT(MeanDifference(a, b), 2.0);
        }
    }
}

struct BadInput {
    const char* name;
    QByteArray bytes;
    const char* reason;
};

TEST(JpegImageTest, DamagedDataRaisesTheDecoderReason) {
    const QByteArray banner = ReadResource(":/images/banner.jpg");
    const qsizetype scan = FindMarker(banner, 0xDA);
    ASSERT_GT(scan, 0);
    const std::vector<BadInput> cases = {
        {"empty", QByteArray(), "Empty input file"},
        {"another format", QByteArray("GIF89a\x01\x00\x01\x00", 10),
         "Not a JPEG file: starts with 0x47 0x49"},
        {"start marker only", QByteArray("\xFF\xD8", 2), "Premature end of JPEG file"},
        {"cut inside the tables", banner.left(scan / 2), "Premature end of JPEG file"},
        {"cut after the scan header", banner.left(scan + 16), "Premature end of JPEG file"},
        {"cut halfway through the picture", banner.left(banner.size() / 2), "Premature end of JPEG file"},
        {"cut before the end marker", banner.left(banner.size() - 2), "Premature end of JPEG file"},
        {"zero height", WithFrameSize(banner, 765, 0), "Empty JPEG image (DNL not supported)"},
        {"too many pixels", WithFrameSize(banner, 65000, 65000), "Picture too large: 65000x65000 pixels"},
    };
    for (const BadInput& bad : cases) {
        SCOPED_TRACE(bad.name);
        try {
            static_cast<void>(JpegImage::Decode(bad.bytes));
            ADD_FAILURE() << "decoded without an error";
        } catch (const OvException& e) {
            EXPECT_EQ(e.Code(), kUnknownError);
            EXPECT_EQ(e.Message(), std::string("Cannot decode JPEG picture: ") + bad.reason);
        }
    }
}

// Every cut-short copy of a real file is refused; a spread of single-byte changes either decodes
// or raises OvException. Nothing may crash (run it under the sanitizers too).
TEST(JpegImageTest, CutOrAlteredFilesNeverCrash) {
    const QByteArray icon = ReadResource(":/images/icon.jpg");
    for (qsizetype length = 0; length < icon.size(); ++length) {
        SCOPED_TRACE("prefix of " + std::to_string(length) + " bytes");
        EXPECT_THROW(static_cast<void>(JpegImage::Decode(icon.left(length))), OvException);
    }
    for (qsizetype at = 0; at < icon.size(); at += 3) {
        QByteArray altered = icon;
        altered[at] = static_cast<char>(altered[at] ^ 0x5A);
        try {
            const QImage image = JpegImage::Decode(altered);
            EXPECT_FALSE(image.isNull()) << "byte " << at;
        } catch (const OvException& e) {
            EXPECT_EQ(e.Code(), kUnknownError) << "byte " << at;
        }
    }
}

TEST(JpegImageTest, LoadNamesThePathInItsErrors) {
    try {
        static_cast<void>(JpegImage::Load(":/images/missing.jpg"));
        ADD_FAILURE() << "loaded a missing resource";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kUnknownError);
        EXPECT_EQ(e.Message(), "Cannot open picture \":/images/missing.jpg\"");
    }

    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("cut.jpg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ReadResource(":/images/menu-bg.jpg").left(600));
    file.close();
    try {
        static_cast<void>(JpegImage::Load(path));
        ADD_FAILURE() << "loaded a cut file";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kUnknownError);
        EXPECT_EQ(e.Message(),
                  "Cannot decode JPEG picture \"" + path.toStdString() + "\": Premature end of JPEG file");
    }
}

}  // namespace
