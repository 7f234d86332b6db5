#include "app/mesa_ponte/TFormPalms.h"

#include "app/TextConventions.h"
#include "platform/DataFolder.h"
#include "platform/LockedFile.h"
#include "platform/Windows1252.h"
#include "platform/widgets/MessageSeam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QStringEncoder>
#include <QTimer>

namespace {

const QString kDozEdiz = QStringLiteral("DozEdiz.INI");

QByteArray encodeWith(QStringConverter::Encoding encoding, const QString& text) {
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return encoder.encode(text);
}

// Each line followed by CR LF, in the encoding the file was read in; a file read with a
// byte-order mark gets it back.
QByteArray encodeLines(const QStringList& lines, SettingsEncoding encoding) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    switch (encoding) {
    case SettingsEncoding::Utf8:
        return encodeWith(QStringConverter::Utf8, text);
    case SettingsEncoding::Utf16LE:
        return encodeWith(QStringConverter::Utf16LE, text);
    case SettingsEncoding::Utf16BE:
        return encodeWith(QStringConverter::Utf16BE, text);
    case SettingsEncoding::Ansi:
        break;
    }
    return windows1252::encode(text);
}

} // namespace

NumberedLines TFormPalms::readDozEdiz() {
    NumberedLines lines = ReadNumberedLines(datafolder::filePath(kDozEdiz));
    m_dozEdizEncoding = lines.encoding();
    return lines;
}

void TFormPalms::BitBtn2Click() {
    Panel6->hide();
    for (QGroupBox* group : {GroupBox1, GroupBox2, GroupBox3, GroupBox4, GroupBox5})
        group->hide();
    Timer1->stop();

    if (!readInt(Edit22->text()))
        Edit22->setText(QStringLiteral("7"));

    writeDozEdiz();
    messages::showMessage(QStringLiteral("   Configuração Gravada ....     "));
}

void TFormPalms::writeDozEdiz() {
    const QStringList lines = {
        ComboBox1->currentText(),
        ComboBox2->currentText(),
        Edit22->text(),
        Edit22->text(),
        ComboBox3->currentText(),
        ComboBox4->currentText(),
        ComboBox5->currentText(),
        CheckBox1->isChecked() ? QStringLiteral("S") : QStringLiteral("N"),
        Edit23->text(),
        Edit24->text(),
        Edit25->text(),
        Edit26->text(),
        Edit27->text(),
        Edit28->text(),
        Edit29->text(),
        Edit30->text(),
        Edit31->text(),
        Edit32->text(),
        Edit33->text(),
    };
    lockedfile::writeAll(datafolder::filePath(kDozEdiz), encodeLines(lines, m_dozEdizEncoding));
}
