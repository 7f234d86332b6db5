#include "app/mesa_ponte/TFormPalms.h"

#include "app/text/TextConventions.h"
#include "platform/DataFolder.h"
#include "platform/widgets/MessageSeam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QTimer>

namespace {

const QString kDozEdiz = QStringLiteral("DozEdiz.INI");

} // namespace

DozEdizSettings TFormPalms::readDozEdiz() {
    return m_cycle->readDozEdiz();
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
    const DozEdizSettings settings = settingsInControls();
    settings.write(datafolder::filePath(kDozEdiz));
    m_cycle->printerSettings = settings;
}

DozEdizSettings TFormPalms::settingsInControls() const {
    DozEdizSettings settings;
    settings.destinations = {ComboBox1->currentText(), ComboBox2->currentText(),
                             ComboBox3->currentText(), ComboBox4->currentText(),
                             ComboBox5->currentText()};
    settings.feedLines = Edit22->text();
    settings.feedLinesAgain = Edit22->text();
    settings.groupItems = CheckBox1->isChecked() ? QStringLiteral("S") : QStringLiteral("N");
    settings.addresses = {Edit23->text(), Edit24->text(), Edit25->text(), Edit26->text(),
                          Edit27->text()};
    settings.fontSize = Edit28->text();
    settings.ports = {Edit29->text(), Edit30->text(), Edit31->text(), Edit32->text(),
                      Edit33->text()};
    // Kept from the file as last read.
    settings.encoding = m_cycle->printerSettings.encoding;
    return settings;
}
