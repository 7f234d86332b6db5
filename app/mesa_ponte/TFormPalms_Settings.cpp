#include "app/mesa_ponte/TFormPalms.h"

#include "app/mesa_ponte/TFormPalms_Ui.h"
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
    m_ui->Panel6->hide();
    for (QGroupBox* group :
         {m_ui->GroupBox1, m_ui->GroupBox2, m_ui->GroupBox3, m_ui->GroupBox4, m_ui->GroupBox5})
        group->hide();
    m_ui->Timer1->stop();

    if (!readInt(m_ui->Edit22->text()))
        m_ui->Edit22->setText(QStringLiteral("7"));

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
    settings.destinations = {m_ui->ComboBox1->currentText(), m_ui->ComboBox2->currentText(),
                             m_ui->ComboBox3->currentText(), m_ui->ComboBox4->currentText(),
                             m_ui->ComboBox5->currentText()};
    settings.feedLines = m_ui->Edit22->text();
    settings.feedLinesAgain = m_ui->Edit22->text();
    settings.groupItems = m_ui->CheckBox1->isChecked() ? QStringLiteral("S") : QStringLiteral("N");
    settings.addresses = {m_ui->Edit23->text(), m_ui->Edit24->text(), m_ui->Edit25->text(),
                          m_ui->Edit26->text(), m_ui->Edit27->text()};
    settings.fontSize = m_ui->Edit28->text();
    settings.ports = {m_ui->Edit29->text(), m_ui->Edit30->text(), m_ui->Edit31->text(),
                      m_ui->Edit32->text(), m_ui->Edit33->text()};
    // Kept from the file as last read.
    settings.encoding = m_cycle->printerSettings.encoding;
    return settings;
}
