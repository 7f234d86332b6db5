#include "app/visao/UnitVisao.h"

#include "app/core/BillSetup.h"
#include "app/core/ReportFont.h"
#include "app/richtext/RichTextWriter.h"
#include "app/text/TextConventions.h"
#include "platform/Fonts.h"
#include "platform/Printers.h"
#include "platform/printing/PrinterSelection.h"
#include "platform/printing/PrinterTextDevice.h"
#include "platform/widgets/HandlerGuard.h"
#include "platform/widgets/Image.h"
#include "platform/widgets/ModalSeam.h"

#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

const QString kLucidaConsole = QStringLiteral("Lucida Console");
constexpr int kDefaultFontSize = 7;

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void fillBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QToolButton* flatButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture) {
    auto* button = named(new QToolButton(parent), name);
    button->setAutoRaise(true);
    button->setIcon(parent->style()->standardIcon(picture));
    return button;
}

// The installed printers, the first selected.
void listInstalledPrinters(QComboBox* box) {
    const QStringList installed = printers::installed().names;
    box->clear();
    box->addItems(installed);
    box->setCurrentIndex(installed.isEmpty() ? -1 : 0);
}

// Every entry equal to the printer's name, trimmed, is selected in turn, so the last one
// stays selected; a blank name selects none.
void preselectPrinter(QComboBox* box, const QString& printer) {
    const QString wanted = trimText(printer);
    if (wanted.isEmpty())
        return;
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i) == wanted)
            box->setCurrentIndex(i);
    }
}

void setPointSize(QTextEdit* text, int points) {
    QFont font = text->font();
    font.setPointSize(points);
    text->setFont(font);
}

} // namespace

const QString TFormVisao::SaveDialogFilter = QStringLiteral("Arquivo Word (*.Doc)|*.DOC");

TFormVisao::TFormVisao(QWidget* parent) : QDialog(parent) {
    buildStoredLayout();
    handlerguard::run([this] { FormCreate(); });
}

TFormVisao::~TFormVisao() = default;

void TFormVisao::buildStoredLayout() {
    setObjectName(QStringLiteral("FormVisao"));
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setFixedSize(1000, 600);
    fillBackground(this, QColor(43, 87, 154));

    auto* margin = new QVBoxLayout(this);
    margin->setContentsMargins(3, 3, 3, 3);
    Panel1 = named(new QFrame(this), "Panel1");
    fillBackground(Panel1, Qt::black);
    margin->addWidget(Panel1);
    auto* column = new QVBoxLayout(Panel1);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    buildTitleBar();
    column->addWidget(Panel24);
    buildReportText();
    column->addWidget(impvalto);

    connect(SpeedButton2, &QToolButton::clicked, this,
            handlerguard::guarded([this] { SpeedButton2Click(); }));
    connect(SpeedButton3, &QToolButton::clicked, this,
            handlerguard::guarded([this] { SpeedButton3Click(); }));
    connect(SpeedButton4, &QToolButton::clicked, this,
            handlerguard::guarded([this] { SpeedButton4Click(); }));
}

void TFormVisao::buildTitleBar() {
    Panel24 = named(new QFrame(Panel1), "Panel24");
    Panel24->setFixedHeight(43);
    fillBackground(Panel24, QColor(43, 87, 154));

    // The title bar's stored TqkSmartImage, shared with the main window's; empty until the
    // imaging library has registered that class.
    Image3 = named(new TImage(Panel24), "Image3");
    Image3->SetStretch(true);
    loadStoredPicture(Image3, QStringLiteral(":/mesa_ponte/Image4.stored"));
    Label33 = named(new QLabel(QStringLiteral("Visualizador Relatório "), Panel24), "Label33");
    Label33->setAlignment(Qt::AlignCenter);
    QFont caption = fonts::windowsFontPixels(QStringLiteral("Arial"), 21);
    caption.setBold(true);
    Label33->setFont(caption);
    QPalette captionPalette = Label33->palette();
    captionPalette.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label33->setPalette(captionPalette);

    ComboBox2 = named(new QComboBox(Panel24), "ComboBox2");
    ComboBox2->setEditable(true);
    QFont boxFont = fonts::windowsFontPixels(QStringLiteral("Arial"), 13);
    boxFont.setBold(true);
    ComboBox2->setFont(boxFont);
    ComboBox2->setGeometry(5, 8, 253, ComboBox2->sizeHint().height());
    SpeedButton2 = flatButton(Panel24, "SpeedButton2", QStyle::SP_FileDialogDetailedView);
    SpeedButton2->setGeometry(259, 5, 39, 32);
    SpeedButton3 = flatButton(Panel24, "SpeedButton3", QStyle::SP_DialogSaveButton);
    SpeedButton3->setGeometry(296, 5, 49, 34);
    SpeedButton4 = flatButton(Panel24, "SpeedButton4", QStyle::SP_TitleBarCloseButton);
    const int barWidth = 1000 - 2 * 3;
    SpeedButton4->setGeometry(barWidth - 46, 0, 46, 43);
    Image3->setGeometry(0, 0, barWidth - 46, 43);
    Label33->setGeometry(0, 0, barWidth - 46, 43);
    // The caption stands over the picture, the controls over both.
    Image3->lower();
    for (QWidget* control :
         std::initializer_list<QWidget*>{ComboBox2, SpeedButton2, SpeedButton3, SpeedButton4})
        control->raise();
}

void TFormVisao::buildReportText() {
    impvalto = named(new QTextEdit(Panel1), "impvalto");
    impvalto->setReadOnly(true);
    impvalto->setAcceptRichText(false);
    impvalto->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    impvalto->setFont(fonts::windowsFontPoints(kLucidaConsole, kDefaultFontSize));
    fillBackground(impvalto, QColor(211, 211, 214));
}

// A step that fails leaves the steps after it undone.
void TFormVisao::FormCreate() {
    listInstalledPrinters(ComboBox2);
    preselectPrinter(ComboBox2, BillSetup::read().previewPrinter);
    setPointSize(impvalto, ReportFont::read().pointSize());
}

void TFormVisao::SpeedButton2Click() {
    // Typed text that names no entry selects none: the default printer.
    int index = ComboBox2->currentIndex();
    if (index >= 0 && ComboBox2->itemText(index) != ComboBox2->currentText())
        index = -1;
    printing::PrinterTextDevice device(printing::printerAt(index), impvalto->font());
    for (const QString& line : impvalto->toPlainText().split(u'\n'))
        device.writeLine(line);
    device.close();
}

void TFormVisao::SpeedButton3Click() {
    const QString chosen = modal::saveFileName(this, SaveDialogFilter);
    if (chosen.isEmpty())
        return;
    const QString path = chosen + QStringLiteral(".doc");
    const QByteArray document = richTextDocument(impvalto->toPlainText().split(u'\n'),
                                                 kLucidaConsole, impvalto->font().pointSize());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("Cannot create file \"" + path.toStdString() + "\". " +
                                 file.errorString().toStdString());
    if (file.write(document) != document.size() || !file.flush())
        throw std::runtime_error("Cannot write file \"" + path.toStdString() + "\". " +
                                 file.errorString().toStdString());
    file.close();
}

void TFormVisao::SpeedButton4Click() {
    done(QDialog::Accepted);
}
