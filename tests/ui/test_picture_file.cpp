// Wallpaper pictures: JPEG through our decoder over libjpeg (colour, grey,
// CMYK, progressive, damaged, oversized), BMP and PNG through Qt.
#include "support/TestEnv.h"
#include "ui/JpegDecoder.h"
#include "ui/PictureFile.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace zek;
using namespace zek::test;

namespace {

QString picture(const char* name) { return fixture(QStringLiteral("pictures/") + name); }

std::optional<ui::DecodedJpeg> decode(const QByteArray& bytes, std::string* error = nullptr) {
    return ui::DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()), ui::kMaxPictureBytes, error);
}

// Every fixture is 32 x 16: its left half one colour, its right half another.
TEST(PictureFile, LoadsEveryKindOfPictureWithItsColours) {
    struct Case {
        const char* file;
        QRgb left, right;
    };
    const Case cases[] = {
        {"rgb-baseline.jpg", qRgb(255, 0, 0), qRgb(0, 0, 255)},
        {"rgb-progressive.jpg", qRgb(255, 0, 0), qRgb(0, 0, 255)},
        {"grey.jpg", qRgb(64, 64, 64), qRgb(191, 191, 191)},
        {"cmyk.jpg", qRgb(255, 0, 0), qRgb(0, 0, 255)},
        {"rgb.bmp", qRgb(255, 0, 0), qRgb(0, 0, 255)},
        {"rgb.png", qRgb(255, 0, 0), qRgb(0, 0, 255)},
    };
    auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 24 && std::abs(qGreen(a) - qGreen(b)) <= 24 &&
               std::abs(qBlue(a) - qBlue(b)) <= 24;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::optional<QImage> image = ui::LoadPictureFile(picture(c.file));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), QSize(32, 16));
        EXPECT_TRUE(near(image->pixel(4, 8), c.left)) << std::hex << image->pixel(4, 8);
        EXPECT_TRUE(near(image->pixel(27, 8), c.right)) << std::hex << image->pixel(27, 8);
    }
}

TEST(PictureFile, AJpegExtensionInAnyCaseGoesToTheJpegDecoderAndNothingElseDoes) {
    IsolatedHome home;
    const QByteArray jpeg = readFile(picture("rgb-baseline.jpg"));
    const QByteArray png = readFile(picture("rgb.png"));
    ASSERT_TRUE(writeFile(home.path("upper.JPEG"), jpeg));
    ASSERT_TRUE(writeFile(home.path("png-named.jpg"), png));
    ASSERT_TRUE(writeFile(home.path("jpeg-named.bmp"), jpeg));
    ASSERT_TRUE(writeFile(home.path("no-extension"), png));
    EXPECT_TRUE(ui::LoadPictureFile(home.path("upper.JPEG")));
    EXPECT_FALSE(ui::LoadPictureFile(home.path("png-named.jpg")));
    EXPECT_FALSE(ui::LoadPictureFile(home.path("jpeg-named.bmp")));
    EXPECT_FALSE(ui::LoadPictureFile(home.path("no-extension")));
    EXPECT_FALSE(ui::LoadPictureFile(home.path("missing.jpg")));
}

TEST(JpegDecoder, RefusesDamagedFilesWithoutCrashing) {
    const QByteArray good = readFile(picture("rgb-baseline.jpg"));
    ASSERT_FALSE(good.isEmpty());
    QByteArray badFrame = good;
    const qsizetype sof = good.indexOf(QByteArray("\xff\xc0", 2));
    ASSERT_GT(sof, 0);
    badFrame[sof + 9] = 0;  // a frame of no components
    const std::pair<const char*, QByteArray> cases[] = {
        {"zero bytes", QByteArray()},
        {"SOI only", good.left(2)},
        {"cut inside the headers", good.left(40)},
        {"not a JPEG", QByteArray("GIF89a and then some bytes of nothing in particular")},
        {"damaged frame header", badFrame},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_FALSE(decode(bytes, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(JpegDecoder, DamageInsideThePictureDataStillGivesAWholePicture) {
    const QByteArray good = readFile(picture("rgb-progressive.jpg"));
    QByteArray flipped = good;
    for (qsizetype i = good.size() / 2; i < good.size() - 2; i += 7)
        flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
    for (const QByteArray& bytes : {good.left(good.size() * 3 / 4), flipped}) {
        const std::optional<ui::DecodedJpeg> picture = decode(bytes);
        if (!picture)
            continue;  // refused is fine too; no crash, no partial buffer
        EXPECT_EQ(picture->width, 32);
        EXPECT_EQ(picture->height, 16);
        EXPECT_EQ(picture->rgb.size(), 32u * 16u * 3u);
    }
    const QByteArray baseline = readFile(picture("rgb-baseline.jpg"));
    const qsizetype scan = baseline.indexOf(QByteArray("\xff\xda", 2));
    ASSERT_GT(scan, 0);
    // Cut a few bytes into the picture data, after the scan header.
    const std::optional<ui::DecodedJpeg> truncated = decode(baseline.left(scan + 14 + 12));
    ASSERT_TRUE(truncated);
    EXPECT_GT(truncated->rgb[0], 200);  // the top-left pixel came before the cut
}

TEST(JpegDecoder, RefusesAPictureTooLargeToShowBeforeDecodingIt) {
    QByteArray huge = readFile(picture("rgb-baseline.jpg"));
    const qsizetype sof = huge.indexOf(QByteArray("\xff\xc0", 2));
    ASSERT_GT(sof, 0);
    // Height and width of the frame header: 20,000 x 20,000.
    for (qsizetype at : {sof + 5, sof + 7}) {
        huge[at] = static_cast<char>(20000 >> 8);
        huge[at + 1] = static_cast<char>(20000 & 0xff);
    }
    std::string error;
    EXPECT_FALSE(decode(huge, &error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;

    IsolatedHome home;
    ASSERT_TRUE(writeFile(home.path("huge.jpg"), huge));
    EXPECT_FALSE(ui::LoadPictureFile(home.path("huge.jpg")));
}

}  // namespace
