#include "app/mesa_ponte/TFormPalms.h"

#include "app/core/Destination.h"
#include "app/mesa_ponte/TFormPalms_Ui.h"
#include "platform/Fonts.h"
#include "platform/rtl/Classes.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/HandlerGuard.h"
#include "platform/widgets/Image.h"
#include "platform/widgets/RadioGroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>

#include <exception>
#include <functional>
#include <utility>

namespace {

constexpr int kMargin = 5;
constexpr int kClientWidth = 637;
constexpr int kClientHeight = 472;
constexpr int kTitleHeight = 49;
const QColor kWindowColor(43, 87, 154);
const QColor kPortPanelColor(211, 211, 214);
const QColor kButtonFace(240, 240, 240);

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption) {
    return named(new QLabel(caption, parent), name);
}

// An auto-sized label at its place.
QLabel* label(QWidget* parent, const char* name, const QString& caption, int x, int y) {
    QLabel* result = label(parent, name, caption);
    result->move(x, y);
    result->adjustSize();
    return result;
}

// A caption of the port panel, without a stored name of its own.
void caption(QWidget* parent, const QString& text, int x, int y) {
    auto* result = new QLabel(text, parent);
    result->move(x, y);
    result->adjustSize();
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

void fill(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QFont fontOfPixels(const char* windowsFamily, int pixels, bool bold) {
    QFont font = fonts::windowsFont(QString::fromLatin1(windowsFamily));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QPixmap picture(const char* name) {
    return QPixmap(QStringLiteral(":/mesa_ponte/") + QLatin1String(name));
}

// Routes events of the window's controls that Qt has no signal for (clicks on a label,
// focus in and out) to the handlers.
class EventRoute : public QObject {
public:
    using Handler = std::function<bool(QEvent*)>;
    EventRoute(QObject* watched, Handler handler)
        : QObject(watched), m_handler(std::move(handler)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override { return m_handler(event); }

private:
    Handler m_handler;
};

void onClick(QWidget* widget, std::function<void()> handler) {
    new EventRoute(widget, [handler = std::move(handler)](QEvent* event) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            handlerguard::run(handler);
        return false;
    });
}

// The window library's enter and exit: focus moving between the window's controls. A
// drop-down list opening or another window taking the focus is neither.
void onFocus(QWidget* widget, std::function<void()> enter, std::function<void()> exit) {
    new EventRoute(widget, [enter = std::move(enter), exit = std::move(exit)](QEvent* event) {
        if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            return false;
        handlerguard::run(event->type() == QEvent::FocusIn ? enter : exit);
        return false;
    });
}

} // namespace

TFormPalms::TFormPalms(TFormPalmsOptions options, QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui>()), m_recoversByItself(options.recoversByItself),
      m_reportSink(std::move(options.reportSink)),
      m_cycle(std::make_unique<PollingCycle>(static_cast<ReportSink&>(*this),
                                             std::move(options.heldTicket))) {
    buildStoredLayout();
    attachHandlers();
    handlerguard::run([this] { FormCreate(); });
}

TFormPalms::~TFormPalms() {
    // No handler runs for a window being destroyed: deleting its controls moves the focus,
    // and an exit handler would then work on a window whose members are gone.
    const QList<QObject*> children = findChildren<QObject*>();
    for (QObject* child : children)
        if (auto* route = dynamic_cast<EventRoute*>(child))
            delete route;
}

void TFormPalms::buildStoredLayout() {
    setUpWindow();
    buildTitleBar();
    buildBody();
    buildPrinterSettingsArea();
    buildTabletSwitches();
    buildButtons();
    buildPortPanel();
    buildAddressPanel();
    buildHiddenBuffers();
    buildTimers();
    buildTrayIcon();
}

void TFormPalms::setUpWindow() {
    setObjectName(QStringLiteral("FormPalms"));
    setWindowTitle(QStringLiteral("Interface Cuvora / Mobile"));
    setWindowFlag(Qt::FramelessWindowHint);
    QIcon icon;
    for (const char* size : {"icon16.png", "icon32.png", "icon64.png"})
        icon.addPixmap(picture(size));
    setWindowIcon(icon);
    QFont windowFont = fonts::windowsFont(QStringLiteral("MS Sans Serif"));
    windowFont.setPointSize(8);
    setFont(windowFont);
    fill(this, kWindowColor);
    setFixedSize(kClientWidth + 2 * kMargin, kClientHeight + 2 * kMargin);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFormPalms::buildTitleBar() {
    m_ui->Panel3 = panel(this, "Panel3");
    m_ui->Panel3->setGeometry(kMargin, kMargin, kClientWidth, kTitleHeight);
    m_ui->Image4 = named(new TImage(m_ui->Panel3), "Image4");
    m_ui->Image4->setGeometry(0, 0, kClientWidth, kTitleHeight);
    m_ui->Image4->SetStretch(true);
    loadStoredPicture(m_ui->Image4, QStringLiteral(":/mesa_ponte/Image4.stored"));
    m_ui->Label52 =
        label(m_ui->Panel3, "Label52", QStringLiteral("Cuvora 25 plus Mobile (Interface)"));
    m_ui->Label52->setGeometry(0, 0, kClientWidth, kTitleHeight);
    m_ui->Label52->setAlignment(Qt::AlignCenter);
    m_ui->Label52->setFont(fontOfPixels("Arial", 21, true));
    m_ui->Label52->setStyleSheet(QStringLiteral("color: navy; background: transparent;"));
    m_ui->Image2 = label(m_ui->Panel3, "Image2", {});
    m_ui->Image2->setGeometry(583, 3, 18, 18);
    m_ui->Image2->setPixmap(picture("Image2.png"));
    m_ui->Image3 = label(m_ui->Panel3, "Image3", {});
    m_ui->Image3->setGeometry(605, 3, 18, 18);
    m_ui->Image3->setPixmap(picture("Image3.png"));
}

// The body panel, with the establishment's picture, name and address lines.
void TFormPalms::buildBody() {
    m_ui->Panel2 = panel(this, "Panel2");
    m_ui->Panel2->setGeometry(kMargin, kMargin + kTitleHeight, kClientWidth,
                              kClientHeight - kTitleHeight);
    fill(m_ui->Panel2, Qt::white);
    m_ui->Image1 = named(new TImage(m_ui->Panel2), "Image1");
    m_ui->Image1->setGeometry(0, -4, 337, 224);
    m_ui->Image1->SetProportional(true);
    loadStoredPicture(m_ui->Image1, QStringLiteral(":/mesa_ponte/Image1.stored"));
    m_ui->Label33 = label(m_ui->Panel2, "Label33", QStringLiteral("Label33"));
    m_ui->Label33->setGeometry(8, 208, 212, 20);
    m_ui->Label33->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_ui->Label33->setFont(fontOfPixels("Arial", 17, true));
    m_ui->Label33->setStyleSheet(QStringLiteral("color: blue;"));
    m_ui->Label45 = label(m_ui->Panel2, "Label45", QStringLiteral("Label45"), 8, 226);
    m_ui->Label51 = label(m_ui->Panel2, "Label51", QStringLiteral("Label51"), 8, 245);
    // The captions change at every show: the labels grow to the right.
    for (QLabel* growing : {m_ui->Label45, m_ui->Label51})
        growing->setFixedWidth(400);
}

void TFormPalms::buildPrinterSettingsArea() {
    struct BoxPlace {
        QLabel** caption;
        const char* captionName;
        const char* text;
        QComboBox** box;
        const char* boxName;
        int captionY;
        int boxY;
    };
    const BoxPlace boxes[] = {
        {&m_ui->Label30, "Label30", "Impressora Fechar Cupom", &m_ui->ComboBox1, "ComboBox1", 16,
         29},
        {&m_ui->Label32, "Label32", "Impressora B Cozinha (1)", &m_ui->ComboBox2, "ComboBox2", 56,
         72},
        {&m_ui->Label36, "Label36", "Impressora B Cozinha (2)", &m_ui->ComboBox3, "ComboBox3", 96,
         112},
        {&m_ui->Label35, "Label35", "Impressora B Cozinha (3)", &m_ui->ComboBox4, "ComboBox4", 136,
         152},
        {&m_ui->Label37, "Label37", "Impressora B Cozinha (4)", &m_ui->ComboBox5, "ComboBox5", 176,
         192},
    };
    for (const BoxPlace& place : boxes) {
        *place.caption = label(m_ui->Panel2, place.captionName, QString::fromUtf8(place.text), 434,
                               place.captionY);
        *place.box = printerBox(m_ui->Panel2, place.boxName);
        (*place.box)->setGeometry(434, place.boxY, 161, 21);
    }
    m_ui->ComboBox5->setEditText(QStringLiteral("M - Matricial (paralela)"));
    m_ui->CheckBox1 = named(new QCheckBox(m_ui->Panel2), "CheckBox1");
    m_ui->CheckBox1->setGeometry(435, 219, 17, 17);
    m_ui->Label44 = label(m_ui->Panel2, "Label44", QStringLiteral("Agrupar itens"), 458, 219);
    m_ui->Label34 =
        label(m_ui->Panel2, "Label34", QStringLiteral("Linhas após impressao"), 434, 242);
    m_ui->Edit22 = edit(m_ui->Panel2, "Edit22", QStringLiteral("Edit22"));
    m_ui->Edit22->setGeometry(554, 235, 41, 21);
    m_ui->Label31 = label(m_ui->Panel2, "Label31", QStringLiteral("Tamanho da fonte"), 434, 264);
    m_ui->Edit28 = edit(m_ui->Panel2, "Edit28", QStringLiteral("Edit22"));
    m_ui->Edit28->setGeometry(554, 259, 41, 21);
}

void TFormPalms::buildTabletSwitches() {
    m_ui->RadioGroup1 =
        named(new RadioGroup(QStringLiteral("Garçom pode fechar conta?"),
                             {QStringLiteral("Fecha conta"), QStringLiteral("Nao fecha a conta")},
                             m_ui->Panel2),
              "RadioGroup1");
    m_ui->RadioGroup1->setGeometry(219, 266, 185, 68);
    m_ui->RadioGroup2 = named(
        new RadioGroup(QStringLiteral("Ativar Promoção?"),
                       {QStringLiteral("Promoção ativada"), QStringLiteral("Desativada Promoção")},
                       m_ui->Panel2),
        "RadioGroup2");
    m_ui->RadioGroup2->setGeometry(410, 286, 185, 70);
    m_ui->RadioGroup3 =
        named(new RadioGroup(QStringLiteral("Garçom pode reabrir conta?"),
                             {QStringLiteral("Reabrir conta"), QStringLiteral("Nao reabrir conta")},
                             m_ui->Panel2),
              "RadioGroup3");
    m_ui->RadioGroup3->setGeometry(219, 340, 185, 65);
    // The stored selections; the click handlers are attached afterwards, so loading the
    // layout stores nothing.
    m_ui->RadioGroup1->setItemIndex(1);
    m_ui->RadioGroup3->setItemIndex(1);
}

void TFormPalms::buildButtons() {
    struct ButtonPlace {
        QPushButton** button;
        const char* name;
        const char* caption;
        const char* glyph;
        QRect geometry;
    };
    const ButtonPlace buttons[] = {
        {&m_ui->BitBtn1, "BitBtn1", "Fechar", "BitBtn1.png", {8, 360, 89, 49}},
        {&m_ui->BitBtn3, "BitBtn3", "Minimizar", "BitBtn3.png", {120, 360, 93, 49}},
        {&m_ui->BitBtn2, "BitBtn2", "Confirmar/Gravar", "BitBtn2.png", {440, 362, 155, 47}},
    };
    for (const ButtonPlace& place : buttons) {
        *place.button =
            named(new QPushButton(QString::fromLatin1(place.caption), m_ui->Panel2), place.name);
        (*place.button)->setGeometry(place.geometry);
        (*place.button)->setIcon(picture(place.glyph));
        (*place.button)->setIconSize(QSize(24, 24));
    }
}

void TFormPalms::buildPortPanel() {
    // The panel reaches past the window's right edge; the fields sit as far left as their
    // captions allow, so that they stay (almost) whole in sight.
    m_ui->Panel6 = panel(m_ui->Panel2, "Panel6");
    m_ui->Panel6->setGeometry(470, 49, 241, 204);
    m_ui->Panel6->setFrameStyle(QFrame::Panel | QFrame::Raised);
    fill(m_ui->Panel6, kButtonFace);
    m_ui->Panel6->hide();
    m_ui->Panel1 = panel(m_ui->Panel6, "Panel1");
    m_ui->Panel1->setGeometry(10, 10, 221, 184);
    m_ui->Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    fill(m_ui->Panel1, kPortPanelColor);
    caption(m_ui->Panel1, QStringLiteral("Informe Postas"), 6, 6);
    QLineEdit** ports[] = {&m_ui->Edit29, &m_ui->Edit30, &m_ui->Edit31, &m_ui->Edit32,
                           &m_ui->Edit33};
    const char* portNames[] = {"Edit29", "Edit30", "Edit31", "Edit32", "Edit33"};
    for (int i = 0; i < 5; ++i) {
        caption(m_ui->Panel1, QStringLiteral("Imp %1").arg(i), 6, 31 + i * 30);
        *ports[i] = edit(m_ui->Panel1, portNames[i], QString::fromLatin1(portNames[i]));
        (*ports[i])->setGeometry(40, 27 + i * 30, 121, 21);
    }
}

void TFormPalms::buildAddressPanel() {
    // Beyond the right edge: never seen, the group boxes only carry the addresses' fields.
    m_ui->Panel5 = panel(this, "Panel5");
    m_ui->Panel5->setGeometry(688, 83, 201, 265);
    m_ui->Panel4 = panel(m_ui->Panel5, "Panel4");
    m_ui->Panel4->setGeometry(0, 0, 201, 265);
    QGroupBox** groups[] = {&m_ui->GroupBox1, &m_ui->GroupBox2, &m_ui->GroupBox3, &m_ui->GroupBox4,
                            &m_ui->GroupBox5};
    const char* groupNames[] = {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5"};
    QLineEdit** addresses[] = {&m_ui->Edit23, &m_ui->Edit24, &m_ui->Edit25, &m_ui->Edit26,
                               &m_ui->Edit27};
    const char* addressNames[] = {"Edit23", "Edit24", "Edit25", "Edit26", "Edit27"};
    for (int i = 0; i < 5; ++i) {
        *groups[i] =
            named(new QGroupBox(QStringLiteral("| End Rede Imp (%1) |").arg(i), m_ui->Panel4),
                  groupNames[i]);
        (*groups[i])->setGeometry(8, 8 + i * 51, 185, 47);
        (*groups[i])->hide();
        *addresses[i] = edit(*groups[i], addressNames[i], QString::fromLatin1(addressNames[i]));
        (*addresses[i])->setGeometry(12, 18, 161, 21);
    }
}

void TFormPalms::buildHiddenBuffers() {
    m_ui->Memo1 = named(new QPlainTextEdit(this), "Memo1");
    m_ui->Memo2 = named(new QPlainTextEdit(this), "Memo2");
    m_ui->Memo3 = named(new QPlainTextEdit(this), "Memo3");
    m_ui->impvalto = named(new QTextEdit(this), "impvalto");
    m_ui->impvalto->setAcceptRichText(false);
    m_ui->impvalto->setFont(fontOfPixels("Lucida Console", 9, false));
    for (QWidget* hidden :
         {static_cast<QWidget*>(m_ui->Memo1), static_cast<QWidget*>(m_ui->Memo2),
          static_cast<QWidget*>(m_ui->Memo3), static_cast<QWidget*>(m_ui->impvalto)})
        hidden->hide();
}

void TFormPalms::buildTimers() {
    m_ui->Timer1 = timer(this, "Timer1", 400);
    m_ui->Timer2 = timer(this, "Timer2", 5000);
    m_ui->Timer3 = timer(this, "Timer3", 2000);
    m_ui->Timer4 = timer(this, "Timer4", 1000);
    connect(m_ui->Timer3, &QTimer::timeout, this, handlerguard::guarded([this] { Timer3Timer(); }));
    connect(m_ui->Timer2, &QTimer::timeout, this, handlerguard::guarded([this] { Timer2Timer(); }));
    m_ui->RetryTimer = timer(this, "RetryTimer", 10000);
    m_ui->RetryTimer->setSingleShot(true);
    connect(m_ui->RetryTimer, &QTimer::timeout, this,
            handlerguard::guarded([this] { retryPolling(); }));
}

void TFormPalms::buildTrayIcon() {
    m_ui->TrayIcon1 = named(new QSystemTrayIcon(this), "TrayIcon1");
    m_ui->TrayIcon1->setIcon(windowIcon());
    m_ui->TrayIcon1->setToolTip(applicationTitle());
}

void TFormPalms::attachHandlers() {
    connect(m_ui->BitBtn1, &QPushButton::clicked, this,
            handlerguard::guarded([this] { BitBtn1Click(); }));
    connect(m_ui->BitBtn3, &QPushButton::clicked, this,
            handlerguard::guarded([this] { BitBtn3Click(); }));
    connect(m_ui->BitBtn2, &QPushButton::clicked, this,
            handlerguard::guarded([this] { BitBtn2Click(); }));
    onClick(m_ui->Image3, [this] { Image3Click(); });
    onClick(m_ui->Image2, [this] { Image2Click(); });
    connect(m_ui->TrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    handlerguard::run([this] { TrayIcon1Click(); });
            });

    onFocus(
        m_ui->ComboBox1, [this] { ComboBox1Enter(); }, [this] { ComboBox1Exit(); });
    onFocus(
        m_ui->ComboBox2, [this] { ComboBox2Enter(); }, [this] { ComboBox2Exit(); });
    onFocus(
        m_ui->ComboBox3, [this] { ComboBox3Enter(); }, [this] { ComboBox3Exit(); });
    onFocus(
        m_ui->ComboBox4, [this] { ComboBox4Enter(); }, [this] { ComboBox4Exit(); });
    onFocus(
        m_ui->ComboBox5, [this] { ComboBox5Enter(); }, [this] { ComboBox5Exit(); });
    connect(m_ui->Timer1, &QTimer::timeout, this, handlerguard::guarded([this] { Timer1Timer(); }));

    m_ui->RadioGroup1->setOnClick([this] { RadioGroup1Click(); });
    m_ui->RadioGroup2->setOnClick([this] { RadioGroup2Click(); });
    m_ui->RadioGroup3->setOnClick([this] { RadioGroup3Click(); });
}

void TFormPalms::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window coming back from minimised is shown by the system, not by the program.
    if (event->spontaneous())
        return;
    handlerguard::run([this] { FormShow(); });
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_ui->Timer3->start();
    }
}

void TFormPalms::BitBtn1Click() {
    close();
}

void TFormPalms::Image3Click() {
    close();
}

void TFormPalms::BitBtn3Click() {
    // Without a notification area the window could never come back from hiding: it is
    // minimised as any window instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
    m_ui->TrayIcon1->show();
}

void TFormPalms::Image2Click() {
    BitBtn3Click();
}

void TFormPalms::TrayIcon1Click() {
    m_ui->TrayIcon1->hide();
    showNormal();
    raise();
    activateWindow();
}

void TFormPalms::ComboBox1Enter() {
    m_ui->Timer1->start();
}
void TFormPalms::ComboBox2Enter() {
    m_ui->Timer1->start();
}
void TFormPalms::ComboBox3Enter() {
    m_ui->Timer1->start();
}
void TFormPalms::ComboBox4Enter() {
    m_ui->Timer1->start();
}
void TFormPalms::ComboBox5Enter() {
    m_ui->Timer1->start();
}

void TFormPalms::Timer1Timer() {
    const QComboBox* boxes[] = {m_ui->ComboBox1, m_ui->ComboBox2, m_ui->ComboBox3, m_ui->ComboBox4,
                                m_ui->ComboBox5};
    QGroupBox* groups[] = {m_ui->GroupBox1, m_ui->GroupBox2, m_ui->GroupBox3, m_ui->GroupBox4,
                           m_ui->GroupBox5};
    for (int i = 0; i < 5; ++i)
        groups[i]->setVisible(boxes[i]->currentText().startsWith(QLatin1String("PS")));
}

namespace {

void showPortPanelFor(const QComboBox* box, QWidget* portPanel) {
    if (Destination::namesPort(box->currentText()))
        portPanel->show();
}

} // namespace

void TFormPalms::ComboBox1Exit() {
    showPortPanelFor(m_ui->ComboBox1, m_ui->Panel6);
}
void TFormPalms::ComboBox2Exit() {
    showPortPanelFor(m_ui->ComboBox2, m_ui->Panel6);
}
void TFormPalms::ComboBox3Exit() {
    showPortPanelFor(m_ui->ComboBox3, m_ui->Panel6);
}
void TFormPalms::ComboBox4Exit() {
    showPortPanelFor(m_ui->ComboBox4, m_ui->Panel6);
}
void TFormPalms::ComboBox5Exit() {
    showPortPanelFor(m_ui->ComboBox5, m_ui->Panel6);
}
