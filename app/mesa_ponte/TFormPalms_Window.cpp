#include "app/mesa_ponte/TFormPalms.h"

#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/HandlerGuard.h"
#include "platform/widgets/RadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption) {
    return named(new QLabel(caption, parent), name);
}

QLineEdit* edit(QWidget* parent, const char* name, const QString& text) {
    return named(new QLineEdit(text, parent), name);
}

QComboBox* printerBox(QWidget* parent, const char* name) {
    auto* box = named(new QComboBox(parent), name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

QFrame* panel(QWidget* parent, const char* name) {
    return named(new QFrame(parent), name);
}

QTimer* timer(QObject* parent, const char* name, int interval) {
    auto* t = named(new QTimer(parent), name);
    t->setInterval(interval);
    return t;
}

} // namespace

TFormPalms::TFormPalms(QWidget* parent) : QWidget(parent) {
    buildStoredLayout();
    handlerguard::run([this] { FormCreate(); });
}

TFormPalms::~TFormPalms() = default;

void TFormPalms::buildStoredLayout() {
    setObjectName(QStringLiteral("FormPalms"));
    setWindowTitle(QStringLiteral("Interface Cuvora / Mobile"));
    setWindowFlag(Qt::FramelessWindowHint);

    Panel3 = panel(this, "Panel3");
    Image4 = label(Panel3, "Image4", {});
    Label52 = label(Panel3, "Label52", QStringLiteral("Cuvora 25 plus Mobile (Interface)"));
    Image2 = label(Panel3, "Image2", {});
    Image3 = label(Panel3, "Image3", {});

    Panel2 = panel(this, "Panel2");
    Image1 = label(Panel2, "Image1", {});
    Label33 = label(Panel2, "Label33", QStringLiteral("Label33"));
    Label45 = label(Panel2, "Label45", QStringLiteral("Label45"));
    Label51 = label(Panel2, "Label51", QStringLiteral("Label51"));
    Label30 = label(Panel2, "Label30", QStringLiteral("Impressora Fechar Cupom"));
    ComboBox1 = printerBox(Panel2, "ComboBox1");
    Label32 = label(Panel2, "Label32", QStringLiteral("Impressora B Cozinha (1)"));
    ComboBox2 = printerBox(Panel2, "ComboBox2");
    Label36 = label(Panel2, "Label36", QStringLiteral("Impressora B Cozinha (2)"));
    ComboBox3 = printerBox(Panel2, "ComboBox3");
    Label35 = label(Panel2, "Label35", QStringLiteral("Impressora B Cozinha (3)"));
    ComboBox4 = printerBox(Panel2, "ComboBox4");
    Label37 = label(Panel2, "Label37", QStringLiteral("Impressora B Cozinha (4)"));
    ComboBox5 = printerBox(Panel2, "ComboBox5");
    ComboBox5->setEditText(QStringLiteral("M - Matricial (paralela)"));
    CheckBox1 = named(new QCheckBox(Panel2), "CheckBox1");
    Label44 = label(Panel2, "Label44", QStringLiteral("Agrupar itens"));
    Label34 = label(Panel2, "Label34", QStringLiteral("Linhas após impressao"));
    Edit22 = edit(Panel2, "Edit22", QStringLiteral("Edit22"));
    Label31 = label(Panel2, "Label31", QStringLiteral("Tamanho da fonte"));
    Edit28 = edit(Panel2, "Edit28", QStringLiteral("Edit22"));

    RadioGroup1 =
        named(new RadioGroup(QStringLiteral("Garçom pode fechar conta?"),
                             {QStringLiteral("Fecha conta"), QStringLiteral("Nao fecha a conta")},
                             Panel2),
              "RadioGroup1");
    RadioGroup2 = named(
        new RadioGroup(QStringLiteral("Ativar Promoção?"),
                       {QStringLiteral("Promoção ativada"), QStringLiteral("Desativada Promoção")},
                       Panel2),
        "RadioGroup2");
    RadioGroup3 =
        named(new RadioGroup(QStringLiteral("Garçom pode reabrir conta?"),
                             {QStringLiteral("Reabrir conta"), QStringLiteral("Nao reabrir conta")},
                             Panel2),
              "RadioGroup3");
    // The stored selections; the click handlers are attached afterwards, so loading the
    // layout stores nothing.
    RadioGroup1->setItemIndex(1);
    RadioGroup3->setItemIndex(1);

    BitBtn1 = named(new QPushButton(QStringLiteral("Fechar"), Panel2), "BitBtn1");
    BitBtn3 = named(new QPushButton(QStringLiteral("Minimizar"), Panel2), "BitBtn3");
    BitBtn2 = named(new QPushButton(QStringLiteral("Confirmar/Gravar"), Panel2), "BitBtn2");

    Panel6 = panel(Panel2, "Panel6");
    Panel6->hide();
    Panel1 = panel(Panel6, "Panel1");
    new QLabel(QStringLiteral("Informe Postas"), Panel1);
    QLineEdit** ports[] = {&Edit29, &Edit30, &Edit31, &Edit32, &Edit33};
    const char* portNames[] = {"Edit29", "Edit30", "Edit31", "Edit32", "Edit33"};
    for (int i = 0; i < 5; ++i) {
        new QLabel(QStringLiteral("Imp %1").arg(i), Panel1);
        *ports[i] = edit(Panel1, portNames[i], QString::fromLatin1(portNames[i]));
    }

    Panel5 = panel(this, "Panel5");
    Panel4 = panel(Panel5, "Panel4");
    QGroupBox** groups[] = {&GroupBox1, &GroupBox2, &GroupBox3, &GroupBox4, &GroupBox5};
    const char* groupNames[] = {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5"};
    QLineEdit** addresses[] = {&Edit23, &Edit24, &Edit25, &Edit26, &Edit27};
    const char* addressNames[] = {"Edit23", "Edit24", "Edit25", "Edit26", "Edit27"};
    for (int i = 0; i < 5; ++i) {
        *groups[i] = named(new QGroupBox(QStringLiteral("| End Rede Imp (%1) |").arg(i), Panel4),
                           groupNames[i]);
        (*groups[i])->hide();
        *addresses[i] = edit(*groups[i], addressNames[i], QString::fromLatin1(addressNames[i]));
    }

    Memo1 = named(new QPlainTextEdit(this), "Memo1");
    Memo2 = named(new QPlainTextEdit(this), "Memo2");
    Memo3 = named(new QPlainTextEdit(this), "Memo3");
    impvalto = named(new QTextEdit(this), "impvalto");
    for (QWidget* hidden : {static_cast<QWidget*>(Memo1), static_cast<QWidget*>(Memo2),
                            static_cast<QWidget*>(Memo3), static_cast<QWidget*>(impvalto)})
        hidden->hide();

    Timer1 = timer(this, "Timer1", 400);
    Timer2 = timer(this, "Timer2", 5000);
    Timer3 = timer(this, "Timer3", 2000);
    Timer4 = timer(this, "Timer4", 1000);
    connect(Timer3, &QTimer::timeout, this, handlerguard::guarded([this] { Timer3Timer(); }));
    connect(Timer2, &QTimer::timeout, this, handlerguard::guarded([this] { Timer2Timer(); }));

    TrayIcon1 = named(new QSystemTrayIcon(this), "TrayIcon1");
    TrayIcon1->setToolTip(applicationTitle());
}

void TFormPalms::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window coming back from minimised is shown by the system, not by the program.
    if (event->spontaneous())
        return;
    handlerguard::run([this] { FormShow(); });
    if (!m_shownOnce) {
        m_shownOnce = true;
        Timer3->start();
    }
}
