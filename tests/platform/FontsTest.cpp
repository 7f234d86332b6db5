#include "platform/Fonts.h"

#include <QFontInfo>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

struct FontCase {
    const char* windowsFamily;
    QStringList acceptedFamilies;
    bool fixedPitch;
};

class Fonts : public ::testing::TestWithParam<FontCase> {};

// What the font resolves to on this machine, not only the name asked for.
TEST_P(Fonts, MapsToAnInstalledFontOfTheSameKind) {
    const FontCase& c = GetParam();
    const QFontInfo resolved(fonts::windowsFontPoints(QString::fromLatin1(c.windowsFamily), 9));
    EXPECT_TRUE(c.acceptedFamilies.contains(resolved.family())) << resolved.family().toStdString();
    EXPECT_EQ(resolved.fixedPitch(), c.fixedPitch);
    EXPECT_EQ(resolved.pointSize(), 9);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsNames, Fonts,
    ::testing::Values(FontCase{"Lucida Console", {"DejaVu Sans Mono", "Liberation Mono"}, true},
                      FontCase{"lucida console", {"DejaVu Sans Mono", "Liberation Mono"}, true},
                      FontCase{"Arial", {"Liberation Sans"}, false},
                      FontCase{"MS Sans Serif", {"DejaVu Sans", "Liberation Sans"}, false}));

TEST(FontsOther, UnknownNamesPassThrough) {
    EXPECT_EQ(fonts::familyFor(QStringLiteral("Courier New")), QStringLiteral("Courier New"));
    EXPECT_EQ(fonts::windowsFontPixels(QStringLiteral("Arial"), 21).pixelSize(), 21);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
