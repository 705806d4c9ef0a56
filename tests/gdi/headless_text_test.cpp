// Text laid out from the font files alone (as a process without a GUI application does) takes
// the extent that Qt's own layout gives the same font request.
#include "gdi/text_layout.h"

#include <gtest/gtest.h>

using namespace kavro;

namespace {

TEST(TextFromFontFiles, MeasuresAsTheFontDatabaseDoes)
{
    struct Case {
        const char* face;
        int32_t height;
        int32_t weight;
        const char* text;
        uint32_t format;
        int32_t width;
    };
    const Case cases[] = {
        {"Times", -500, 400, "10", DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOCLIP, 0},
        {"Times", -37, 400, "9", DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOCLIP, 0},
        {"Arial", -120, 700, "Air Rifle 10 m", DT_SINGLELINE, 0},
        {"Arial", 90, 400, "Cell height", DT_SINGLELINE, 0},
        {"Courier New", -60, 400, "two\nlines", 0, 0},
        {"Times New Roman", -50, 400, "wrapped into some lines of text", DT_WORDBREAK, 400},
        {"Arial", -80, 400, "&File && more", DT_SINGLELINE, 0},
        {"Arial", -80, 400, "&File", DT_SINGLELINE | DT_NOPREFIX, 0},
        {"Arial", -70, 400, "\u00e4\u00df\u20ac", DT_SINGLELINE, 0},
    };
    for (const Case& c : cases) {
        GdiFont font;
        font.face = QString::fromLatin1(c.face);
        font.height = c.height;
        font.weight = c.weight;
        const QString text = QString::fromUtf8(c.text);
        const GdiRect box{100, 200, 100 + c.width, 200};
        const GdiRect qt = measureText(makeFont(font), text, box, c.format);
        const GdiRect files = measureTextFromFontFiles(font, text, box, c.format);
        EXPECT_EQ(files.left, 100);
        EXPECT_EQ(files.top, 200);
        // Within a unit or two of rounding, and a hundredth for kerning the files do not apply.
        const int32_t slack = 2 + qt.width() / 100;
        EXPECT_NEAR(files.width(), qt.width(), slack) << c.text;
        EXPECT_NEAR(files.height(), qt.height(), 1) << c.text;
    }
    // A face without a twin is measured in the sans-serif one (the font database would pick
    // whatever the system prefers).
    GdiFont unknown;
    unknown.face = QStringLiteral("Unknown Face");
    unknown.height = -70;
    GdiFont sans = unknown;
    sans.face = QStringLiteral("Arial");
    const GdiRect box{0, 0, 0, 0};
    EXPECT_EQ(measureTextFromFontFiles(unknown, QStringLiteral("Fallback"), box, DT_SINGLELINE),
              measureTextFromFontFiles(sans, QStringLiteral("Fallback"), box, DT_SINGLELINE));
    EXPECT_GT(measureTextFromFontFiles(sans, QStringLiteral("Fallback"), box, DT_SINGLELINE).width(), 200);
}

} // namespace
