#include "app/core/DozEdizSettings.h"
#include "app/mesa_ponte/TFormPalms.h"
#include "platform/Windows1252.h"
#include "tests/app/mesa_ponte/WindowFixture.h"
#include "tests/support/ScopedEnvVar.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using testsupport::crlfLines;
using windowtest::WindowFixture;

const QString kConfirmation = QStringLiteral("   Configuração Gravada ....     ");

QList<QComboBox*> boxes(TFormPalms& form) {
    return windowtest::controls<QComboBox>(form, "ComboBox", 1, 5);
}

QList<QLineEdit*> fields(TFormPalms& form) {
    return windowtest::controls<QLineEdit>(form, "Edit", 23, 33);
}

TEST(ConfirmarGravar, WritesTheNineteenLinesAndARestartLoadsThemBack) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    ASSERT_TRUE(fixture.recorder.shown().empty());

    const QStringList boxTexts = {QStringLiteral("Impressora Salão"), QStringLiteral("Cozinha"),
                                  QStringLiteral("Informar Porta"),
                                  QStringLiteral("Monitor Cozinha"), QStringLiteral("Visualizar")};
    for (int i = 0; i < 5; ++i)
        boxes(form)[i]->setEditText(boxTexts[i]);
    windowtest::control<QLineEdit>(form, "Edit22")->setText(QStringLiteral("3"));
    windowtest::control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    const QStringList fieldTexts = {
        "192.168.0.50",       "", "",         "", "10.0.0.9", "12", "/dev/usb/lp0", "",
        "/tmp/cozinha 2.txt", "", "/tmp/café"};
    for (int i = 0; i < 11; ++i)
        fields(form)[i]->setText(fieldTexts[i]);

    windowtest::control<QPushButton>(form, "BitBtn2")->click();

    EXPECT_EQ(fixture.recorder.standardErrors().size(), 0u);
    ASSERT_EQ(fixture.recorder.shown().size(), 1u);
    EXPECT_EQ(fixture.recorder.shown()[0].kind, messages::Kind::Message);
    EXPECT_EQ(fixture.recorder.shown()[0].text, kConfirmation);
    // Never read, so written in the system's ANSI code page.
    EXPECT_EQ(
        fixture.readDataFile(QStringLiteral("DozEdiz.INI")),
        crlfLines({"Impressora Sal\xE3o", "Cozinha", "3", "3", "Informar Porta", "Monitor Cozinha",
                   "Visualizar", "S", "192.168.0.50", "", "", "", "10.0.0.9", "12", "/dev/usb/lp0",
                   "", "/tmp/cozinha 2.txt", "", "/tmp/caf\xE9"}));

    TFormPalms& again = fixture.start();
    EXPECT_TRUE(fixture.recorder.standardErrors().empty());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(boxes(again)[i]->currentText(), boxTexts[i]) << "ComboBox" << i + 1;
    EXPECT_EQ(windowtest::control<QLineEdit>(again, "Edit22")->text(), QStringLiteral("3"));
    EXPECT_TRUE(windowtest::control<QCheckBox>(again, "CheckBox1")->isChecked());
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(fields(again)[i]->text(), fieldTexts[i]) << "Edit" << 23 + i;

    windowtest::control<QCheckBox>(again, "CheckBox1")->setChecked(false);
    windowtest::control<QPushButton>(again, "BitBtn2")->click();
    EXPECT_EQ(fixture.readDataFile(QStringLiteral("DozEdiz.INI")).split('\n').at(7), "N\r");
}

TEST(ConfirmarGravar, ANonNumberInEdit22BecomesSevenAndThePanelsAndTimer1Stop) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    windowtest::control<QLineEdit>(form, "Edit22")->setText(QStringLiteral("abc"));
    windowtest::control<QFrame>(form, "Panel6")->show();
    windowtest::control<QGroupBox>(form, "GroupBox3")->show();
    windowtest::control<QTimer>(form, "Timer1")->start();

    windowtest::control<QPushButton>(form, "BitBtn2")->click();

    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit22")->text(), QStringLiteral("7"));
    const QList<QByteArray> lines = fixture.readDataFile(QStringLiteral("DozEdiz.INI")).split('\n');
    ASSERT_EQ(lines.size(), 20); // 19 lines, each ended
    EXPECT_EQ(lines.at(2), "7\r");
    EXPECT_EQ(lines.at(3), "7\r");
    EXPECT_TRUE(windowtest::control<QFrame>(form, "Panel6")->isHidden());
    EXPECT_TRUE(windowtest::control<QGroupBox>(form, "GroupBox3")->isHidden());
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer1")->isActive());
    // Edit28 and the destinations are stored as typed.
    EXPECT_EQ(lines.at(13), "8\r");
}

TEST(ConfirmarGravar, ALongFirstLineKeepsTheLinesAfterIt) {
    WindowFixture fixture;
    const QByteArray longName(60, 'P');
    DozEdizSettings stored;
    stored.destinations = {QString::fromLatin1(longName), "Cozinha", "c", "d", "e"};
    stored.feedLines = stored.feedLinesAgain = "4";
    stored.groupItems = "N";
    fixture.writeDataFile(QStringLiteral("DozEdiz.INI"), stored.toBytes());
    TFormPalms& form = fixture.start();
    EXPECT_EQ(windowtest::control<QComboBox>(form, "ComboBox1")->currentText(),
              QString::fromLatin1(longName));
    EXPECT_EQ(windowtest::control<QComboBox>(form, "ComboBox2")->currentText(),
              QStringLiteral("Cozinha"));

    windowtest::control<QPushButton>(form, "BitBtn2")->click();
    const QList<QByteArray> lines = fixture.readDataFile(QStringLiteral("DozEdiz.INI")).split('\n');
    EXPECT_EQ(lines.at(0), longName + "\r");
    EXPECT_EQ(lines.at(1), "Cozinha\r");
    EXPECT_EQ(lines.at(2), "4\r");
}

TEST(ConfirmarGravar, AFolderThatCannotBeWrittenShowsTheErrorBoxAndNoConfirmation) {
    WindowFixture fixture;
    TFormPalms& form = fixture.start();
    windowtest::control<QLineEdit>(form, "Edit22")->setText(QStringLiteral("x"));
    windowtest::control<QFrame>(form, "Panel6")->show();
    const QString missing = fixture.dataPath(QStringLiteral("missing"));
    const testsupport::ScopedEnvVar unwritable("TOBRASK_BARES_DIR", missing);

    windowtest::control<QPushButton>(form, "BitBtn2")->click();

    ASSERT_EQ(fixture.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(fixture.recorder.standardErrors()[0].text.contains(QStringLiteral("DozEdiz.INI")));
    EXPECT_FALSE(fixture.shown(kConfirmation));
    // The panels hidden and the feed field's default stay done.
    EXPECT_EQ(windowtest::control<QLineEdit>(form, "Edit22")->text(), QStringLiteral("7"));
    EXPECT_TRUE(windowtest::control<QFrame>(form, "Panel6")->isHidden());
}

QByteArray toUtf16(const QString& text, QStringConverter::Encoding encoding) {
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
}
QString fromUtf16(const QByteArray& bytes, QStringConverter::Encoding encoding) {
    QStringDecoder decoder(encoding);
    return decoder.decode(bytes);
}

struct EncodingCase {
    const char* name;
    QByteArray bom;
    QByteArray (*encode)(const QString&);
    QString (*decode)(const QByteArray&);
};

const EncodingCase kEncodings[] = {
    {"Windows1252", {}, windows1252::encode, windows1252::decode},
    {"Utf8", "\xEF\xBB\xBF", [](const QString& t) { return t.toUtf8(); },
     [](const QByteArray& b) { return QString::fromUtf8(b); }},
    {"Utf16LE", QByteArray("\xFF\xFE", 2),
     [](const QString& t) { return toUtf16(t, QStringConverter::Utf16LE); },
     [](const QByteArray& b) { return fromUtf16(b, QStringConverter::Utf16LE); }},
    {"Utf16BE", QByteArray("\xFE\xFF", 2),
     [](const QString& t) { return toUtf16(t, QStringConverter::Utf16BE); },
     [](const QByteArray& b) { return fromUtf16(b, QStringConverter::Utf16BE); }},
};

class KeepsTheEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(KeepsTheEncoding, TheFileWasLastReadIn) {
    const EncodingCase& c = GetParam();
    WindowFixture fixture;
    fixture.writeDataFile(
        QStringLiteral("DozEdiz.INI"),
        c.bom + c.encode(QStringLiteral("Impressora Salão\r\nCozinha €\r\n5\r\n5\r\n")));
    TFormPalms& form = fixture.start();
    ASSERT_EQ(windowtest::control<QComboBox>(form, "ComboBox2")->currentText(),
              QStringLiteral("Cozinha €"));

    windowtest::control<QPushButton>(form, "BitBtn2")->click();

    const QByteArray written = fixture.readDataFile(QStringLiteral("DozEdiz.INI"));
    ASSERT_TRUE(written.startsWith(c.bom));
    // A second mark would be read as text.
    if (!c.bom.isEmpty()) {
        EXPECT_FALSE(written.mid(c.bom.size()).startsWith(c.bom));
    }
    const QStringList lines = c.decode(written.mid(c.bom.size())).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 20);
    EXPECT_EQ(lines.at(0), QStringLiteral("Impressora Salão"));
    EXPECT_EQ(lines.at(1), QStringLiteral("Cozinha €"));
    EXPECT_EQ(lines.at(3), QStringLiteral("5"));
}

INSTANTIATE_TEST_SUITE_P(Encodings, KeepsTheEncoding, ::testing::ValuesIn(kEncodings),
                         [](const ::testing::TestParamInfo<EncodingCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
