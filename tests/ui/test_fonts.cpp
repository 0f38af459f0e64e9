// The design fonts as they are drawn: "." and "," must not look alike at the
// sizes the windows use ("sakura.mid" against "sakura,mid").
#include "ui/Fonts.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace zek::ui;

namespace {

// The lowest row with any visible ink of one character drawn at a fixed
// baseline (grey from antialiasing counts: it is what the eye sees).
int lowestInk(const QFont& font, QChar c) {
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QPointF(8, 20), QString(c));
    }
    int lowest = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 230)
                lowest = y;
    return lowest;
}

TEST(Fonts, PeriodAndCommaAreToldApartAtTheDesignSizes) {
    installFontSubstitutions();
    for (const auto& [design, size] : {std::pair{kGothicFont, 11}, std::pair{kPGothicFont, 12}}) {
        SCOPED_TRACE(design.toStdString() + " " + std::to_string(size));
        const QFont font = designFont(design, size);
        const int period = lowestInk(font, u'.');
        const int comma = lowestInk(font, u',');
        ASSERT_GE(period, 0);
        // The comma's tail reaches below the period (hinted, the period grows
        // a smear below the baseline just as low).
        EXPECT_GT(comma, period);
    }
}

}  // namespace
