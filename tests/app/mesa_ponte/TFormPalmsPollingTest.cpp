// The window's side of the polling cycle: the boxes and fields it hands the cycle, the report
// shown in impvalto, the timers, the error that stops polling, the real destinations, and
// start-up's own settings file. The cycle itself is tested without the window, in
// tests/app/cycle.

#include "app/mesa_ponte/TFormPalms.h"

#include "app/core/DozEdizSettings.h"
#include "app/core/ProgramClock.h"
#include "app/core/ProgramLog.h"
#include "app/text/TextConventions.h"
#include "platform/LockedFile.h"
#include "platform/NetworkAddresses.h"
#include "platform/Printers.h"
#include "platform/RegionalSettings.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/HandlerGuard.h"
#include "platform/widgets/MessageSeam.h"
#include "tests/app/cycle/CycleFixture.h"
#include "tests/app/mesa_ponte/WindowFixture.h"
#include "tests/support/QStringPrinting.h"
#include "tests/support/TestDatabases.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace {

using testsupport::Access;
using testsupport::TestDatabases;
using Kind = TFormPalms::ReportKind;
using Rows = QList<QStringList>;

struct Sent {
    QString destination;
    QString port;
    Kind kind;
    QStringList lines;
    int fontSize;
};

const QDateTime kNow(QDate(2024, 3, 9), QTime(18, 5, 7));
const QString kDate = QStringLiteral("09/03/2024 - 18:05:07");
const QString kRule = QStringLiteral("- - - - - - - - - - - - - - - - - - -");

using Item = cycletest::TabletItem;

// Both databases, a data folder, recorded messages and sends; the window is made by start().
class PollingFixture : public windowtest::WindowFixture {
public:
    explicit PollingFixture(Access access)
        : WindowFixture({.access = access,
                         .installedPrinters = printers::InstalledPrinters{{"PDF"}, "PDF"},
                         .localAddresses = QStringList{"10.0.0.2"}}) {}
    ~PollingFixture() { stop(); }

    using Sink = decltype(TFormPalmsOptions::reportSink);
    // The window made anew, its reports recorded in sent.
    TFormPalms& start() {
        return start([this](const QString& destination, const QString& port, Kind kind,
                            const QStringList& lines) {
            sent.push_back(
                {destination, port, kind, lines,
                 windowtest::control<QTextEdit>(form(), "impvalto")->font().pointSize()});
            if (failSend && failSend(sent.back()))
                throw std::runtime_error("printer out of paper");
        });
    }
    // The window made anew, its reports handed to the sink given; none sends them.
    TFormPalms& start(Sink sink) {
        TFormPalms& window = replaceForm({.reportSink = std::move(sink)});
        // Where each ticket goes; printer boxes as the operator left them.
        windowtest::control<QComboBox>(window, "ComboBox1")->setEditText(QStringLiteral("Caixa"));
        windowtest::control<QComboBox>(window, "ComboBox2")->setEditText(QStringLiteral("Cozinha"));
        windowtest::control<QComboBox>(window, "ComboBox3")->setEditText(QStringLiteral("Bar"));
        windowtest::control<QComboBox>(window, "ComboBox4")
            ->setEditText(QStringLiteral("Pizzaria"));
        windowtest::control<QComboBox>(window, "ComboBox5")->setEditText(QStringLiteral("Copa"));
        const QList<QLineEdit*> ports = windowtest::controls<QLineEdit>(window, "Edit", 29, 33);
        for (int i = 0; i < 5; ++i)
            ports[i]->setText(QStringLiteral("porta%1").arg(i));
        return window;
    }

    // One cycle as Timer2 runs it, its errors shown by the handler guard.
    void cycle() {
        handlerguard::run([this] { form().Timer2Timer(); });
    }

    QString log() const { return QString::fromUtf8(dataFile("interface-cuvora.log")); }
    QByteArray dataFile(const char* name) const {
        QFile file(dataPath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    void onMain(const QString& statement) { testsupport::executeSql(mainDatabase(), statement); }
    Rows main(const QString& select, const QStringList& columns) {
        return testsupport::selectRows(mainDatabase(), select, columns);
    }
    Rows tablets(const QString& select, const QStringList& columns) {
        return tabletRows(select, columns);
    }

    void table(const QString& mesa, const QString& vendedor = QStringLiteral("3")) {
        cycletest::insertTable(mainDatabase(), mesa, vendedor);
    }
    void waiter(const QString& codigo, const QString& nome) {
        cycletest::insertWaiter(mainDatabase(), codigo, nome);
    }
    void item(const Item& i) { cycletest::insertTabletItem(WindowFixture::tablets(), i); }
    Rows tabletItems() { return tablets("select id, mesa from mesa order by id", {"id", "mesa"}); }

    std::vector<Sent> sent;
    std::function<bool(const Sent&)> failSend;

private:
    ScopedRegionalSettings m_settings{RegionalSettings::comma()};
    programclock::ScopedClock m_clock{[] { return kNow; }};
};

QStringList header(const QString& order, const QString& table, const QString& waiter) {
    return {"PEDIDO       :" + order, "COMANDA/MESA.:" + table, "Garcom :" + waiter, kDate,
            "============================"};
}

QByteArray settingsWithFontSize(const char* size) {
    DozEdizSettings settings;
    settings.fontSize = QString::fromLatin1(size);
    return settings.toBytes();
}

// --- The boxes and fields into the cycle, its reports into impvalto -----------------------

// Each cycle takes the printer boxes, the port fields and the feed lines as they stand, and
// each report is shown in impvalto, in its font size, before it is sent.
TEST(PollingWindow, HandsTheBoxesToTheCycleAndShowsEachReport) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1, .imp = "5", .nomep = "feijoada", .codigo = "P7"});
    f.writeDataFile("DozEdiz.INI", settingsWithFontSize("11"));
    QStringList shown;
    TFormPalms& form = f.start(
        [&](const QString& destination, const QString& port, Kind kind, const QStringList& lines) {
            f.sent.push_back(
                {destination, port, kind, lines,
                 windowtest::control<QTextEdit>(f.form(), "impvalto")->font().pointSize()});
            shown.append(windowtest::control<QTextEdit>(f.form(), "impvalto")->toPlainText());
        });
    windowtest::control<QLineEdit>(form, "Edit22")->setText("0");
    windowtest::control<QComboBox>(form, "ComboBox2")->setEditText(" Monitor Cozinha ");
    windowtest::control<QLineEdit>(form, "Edit31")->setText("outra porta");

    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(windowtest::control<QTimer>(form, "Timer2")->isActive());
    ASSERT_EQ(f.sent.size(), 2u);
    EXPECT_EQ(f.sent[0].destination, " Monitor Cozinha ");
    EXPECT_EQ(f.sent[0].port, "porta1");
    EXPECT_EQ(f.sent[1].destination, "Bar");
    EXPECT_EQ(f.sent[1].port, "outra porta");
    const QStringList expected = header("1", "000012", "Ana") +
                                 QStringList{"", "FEIJOADA", "QTD: 1     COD:P7", kRule, "", "."};
    for (const Sent& sent : f.sent) {
        EXPECT_EQ(sent.kind, Kind::KitchenTicket);
        EXPECT_EQ(sent.lines, expected);
        EXPECT_EQ(sent.fontSize, 11);
    }
    EXPECT_EQ(shown, QStringList(2, expected.join(u'\n')));

    // A bill request: the first box and the first port field, the bill's font (no fonte.INI: 7).
    f.sent.clear();
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    windowtest::control<QComboBox>(form, "ComboBox1")->setEditText("Visualizar");
    windowtest::control<QLineEdit>(form, "Edit29")->setText("porta da conta");
    f.cycle();
    ASSERT_EQ(f.sent.size(), 1u);
    EXPECT_EQ(f.sent[0].destination, "Visualizar");
    EXPECT_EQ(f.sent[0].port, "porta da conta");
    EXPECT_EQ(f.sent[0].kind, Kind::Bill);
    EXPECT_EQ(f.sent[0].fontSize, 7);
    EXPECT_EQ(f.sent[0].lines.value(0), "    SIMPLES CONFERENCIA DA CONTA");
    EXPECT_EQ(shown.last(), f.sent[0].lines.join(u'\n'));
}

// --- An error stops polling ------------------------------------------------------------------

// The cycle's error stops Timer2 with the error box and a line in the log saying that polling
// has stopped, why, and what brings it back; a cycle that runs whole starts the timer again.
TEST(PollingFailure, AnErrorStopsTimer2WithTheErrorBoxAndALogLine) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    f.item({.id = 2});
    // The second item's id from the generator is taken already: its insert fails.
    f.onMain("insert into mesa (id, idmesa, mesa) values (2, 2, 'outra')");
    TFormPalms& form = f.start();
    windowtest::control<QTimer>(form, "Timer2")->start();
    f.cycle();

    ASSERT_EQ(f.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(f.recorder.standardErrors()[0].text.contains("PRIMARY", Qt::CaseInsensitive) ||
                f.recorder.standardErrors()[0].text.contains("unique", Qt::CaseInsensitive))
        << f.recorder.standardErrors()[0].text.toStdString();
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer2")->isActive());
    const QString log = QString::fromUtf8(f.dataFile("interface-cuvora.log"));
    // The database, its file and the statement come first, then Firebird's text.
    EXPECT_EQ(log.count(QStringLiteral("A leitura dos pedidos dos tablets parou por um erro: banco "
                                       "principal (caminho local '%1'), comando \"insert into mesa "
                                       "(id,idmesa,")
                            .arg(f.mainDatabase())),
              1)
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("\": ") +
                        programlog::clause(f.recorder.standardErrors()[0].text) +
                        QStringLiteral(". Ela fica parada até o programa ser iniciado de novo.")),
              1)
        << log.toStdString();

    // Mended: the next cycle runs whole and Timer2 runs again.
    f.recorder.clear();
    f.onMain("delete from mesa where mesa = 'outra'");
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(windowtest::control<QTimer>(form, "Timer2")->isActive());
    EXPECT_TRUE(f.tabletItems().isEmpty());
}

// --- The real destinations ----------------------------------------------------------------

// The cycle with its real destinations: ports and files, nothing printed, the preview
// never reached. No printer is installed, so anything sent to a printer would fail.
TEST(PollingDestinations, PortsLoseTicketsSilentlyAndStopPollingForABill) {
    PollingFixture f(Access::Embedded);
    QTemporaryDir ports;
    ASSERT_TRUE(ports.isValid());
    const QString missing = ports.filePath(QStringLiteral("nao/existe/LPT1"));
    const printers::ScopedSource noPrinter([] { return printers::InstalledPrinters{}; });
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1, .imp = "5", .nomep = "feijoada"});
    f.item({.id = 2, .imp = "4", .nomep = "farofa"});
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    TFormPalms& form = f.start(nullptr);
    // Printer number 5: the first copy not printed, the second to its port.
    windowtest::control<QComboBox>(form, "ComboBox2")->setEditText("Nao Imprimir");
    windowtest::control<QComboBox>(form, "ComboBox3")->setEditText("Informar Porta");
    windowtest::control<QLineEdit>(form, "Edit31")
        ->setText(ports.filePath(QStringLiteral("bar.txt")));
    // Printer number 4 and the bill: a port in a folder that does not exist.
    windowtest::control<QComboBox>(form, "ComboBox5")->setEditText("Informar Porta");
    windowtest::control<QLineEdit>(form, "Edit33")->setText(missing);
    windowtest::control<QComboBox>(form, "ComboBox1")->setEditText("Informar Porta");
    windowtest::control<QLineEdit>(form, "Edit29")->setText(missing);
    windowtest::control<QLineEdit>(form, "Edit22")->setText("0");
    windowtest::control<QTimer>(form, "Timer2")->start();

    f.cycle();

    // The bill stops polling with the error box; its request stays, the table's STATUS update has
    // run.
    ASSERT_EQ(f.recorder.standardErrors().size(), 1u);
    EXPECT_TRUE(f.recorder.standardErrors()[0].text.contains(missing))
        << f.recorder.standardErrors()[0].text.toStdString();
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer2")->isActive());
    EXPECT_EQ(f.tabletItems(), (Rows{{"50", "12"}}));
    EXPECT_EQ(f.main("select STATUS from CabMesa", {"STATUS"}), (Rows{{"1"}}));
    // Both items moved, printer number 4 first; only the second copy of printer number 5
    // reached its port.
    EXPECT_EQ(f.main("select nomep from mesa order by id", {"nomep"}),
              (Rows{{"farofa"}, {"feijoada"}}));
    QFile bar(ports.filePath(QStringLiteral("bar.txt")));
    ASSERT_TRUE(bar.open(QIODevice::ReadOnly));
    const QByteArray barTicket = bar.readAll();
    EXPECT_TRUE(barTicket.startsWith("PEDIDO       :2\r\nCOMANDA/MESA.:000012\r\n"))
        << barTicket.constData();
    EXPECT_TRUE(barTicket.contains("\r\nFEIJOADA\r\n"));
    EXPECT_TRUE(barTicket.endsWith("\r\n.\r\n"));
    EXPECT_EQ(QDir(ports.path()).entryList(QDir::Files), QStringList{"bar.txt"});
    // The lost ticket of printer number 4 is in the log only.
    const QString log = QString::fromUtf8(f.dataFile("interface-cuvora.log"));
    EXPECT_EQ(log.count(QStringLiteral("--- pedido ---")), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("(impressora 4, destino 'Informar Porta'")));
    EXPECT_TRUE(log.contains(QStringLiteral("FAROFA")));

    // Mended and started again: the request is answered and deleted.
    f.recorder.clear();
    windowtest::control<QLineEdit>(form, "Edit29")
        ->setText(ports.filePath(QStringLiteral("conta.txt")));
    f.cycle();
    EXPECT_TRUE(f.recorder.shown().empty());
    EXPECT_TRUE(windowtest::control<QTimer>(form, "Timer2")->isActive());
    EXPECT_TRUE(f.tabletItems().isEmpty());
    QFile bill(ports.filePath(QStringLiteral("conta.txt")));
    ASSERT_TRUE(bill.open(QIODevice::ReadOnly));
    EXPECT_TRUE(bill.readAll().startsWith("    SIMPLES CONFERENCIA DA CONTA\r\n"));
}

// --- Start-up's settings file --------------------------------------------------------------

// SetupRede.Ini with bad contents, read by start-up: the window starts on its fallback, and
// the cycle moves the item and answers the bill, or stops with a clear error before anything
// of the item is written. The files the cycle reads are tested with the cycle alone.
class BadSettingsFiles
    : public ::testing::TestWithParam<std::tuple<const char*, cycletest::BadFile>> {};

TEST_P(BadSettingsFiles, GiveTheirFallbacksOrAClearError) {
    const auto& [file, bad] = GetParam();
    PollingFixture f(Access::Embedded);
    f.writeDataFile(file, bad.bytes);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    f.item({.id = 50, .mesa = "12", .cozinha = "7"});
    f.start();
    f.cycle();

    const auto errors = f.recorder.standardErrors();
    ASSERT_LE(errors.size(), 1u);
    const Rows moved = f.main("select codigo from mesa where mesa = '000012'", {"codigo"});
    if (!errors.empty()) {
        EXPECT_FALSE(errors[0].text.trimmed().isEmpty());
        EXPECT_LE(moved.size(), 1);
        EXPECT_EQ(f.tabletItems().size(), 2 - moved.size());
        return;
    }
    EXPECT_EQ(moved, Rows{{"P1"}});
    EXPECT_TRUE(f.tabletItems().isEmpty());
    ASSERT_EQ(f.sent.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Polling, BadSettingsFiles,
                         ::testing::Combine(::testing::Values("SetupRede.Ini"),
                                            ::testing::ValuesIn(cycletest::badFiles())),
                         [](const auto& info) { return cycletest::badFileTestName(info); });

// --- The timers ----------------------------------------------------------------------------

TEST(PollingTimers, Timer3StartsTheCyclesOfTimer2) {
    PollingFixture f(Access::Embedded);
    f.table("12");
    f.waiter("3", "Ana");
    f.item({.id = 1});
    TFormPalms& form = f.start();
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer2")->isActive());
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer3")->isActive());
    windowtest::control<QTimer>(form, "Timer3")->start();
    form.Timer3Timer();
    EXPECT_FALSE(windowtest::control<QTimer>(form, "Timer3")->isActive());
    ASSERT_TRUE(windowtest::control<QTimer>(form, "Timer2")->isActive());
    EXPECT_EQ(windowtest::control<QTimer>(form, "Timer2")->interval(), 5000);
    windowtest::control<QTimer>(form, "Timer2")->setInterval(0);
    for (int wait = 0; wait < 1000 && f.sent.empty(); ++wait)
        QTest::qWait(10);
    EXPECT_EQ(f.sent.size(), 1u);
    EXPECT_TRUE(f.tabletItems().isEmpty());
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
