#include "app/mesa_ponte/TFormPalms.h"

#include "app/visao/UnitVisao.h"
#include "platform/LockedFile.h"
#include "platform/Printers.h"
#include "platform/RegionalSettings.h"
#include "platform/printing/PrintingErrors.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/MessageSeam.h"
#include "platform/widgets/ModalSeam.h"
#include "tests/app/mesa_ponte/WindowFixture.h"
#include "tests/support/PdfQueues.h"
#include "tests/support/TestDatabases.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <utility>

namespace {

using Kind = TFormPalms::ReportKind;

const QString kTicket = QStringLiteral("Pedido: 41 Mesa: 000012\n"
                                       "\n"
                                       "2 x FEIJOADA\n"
                                       "   Pão de queijo");

// The main window over real embedded databases, its data folder of its own, messages
// recorded, modal windows scripted, and impvalto holding a ticket as the composer leaves it.
// The printers are the machine's own (CUPS): tests that need none set their own list.
class Destinations : public ::testing::Test {
protected:
    void SetUp() override { start({}); }
    // The window made anew with the options given.
    void start(TFormPalmsOptions options) {
        TFormPalms& window = m_window.start(std::move(options));
        ASSERT_TRUE(recorder.shown().empty());
        windowtest::control<QTextEdit>(window, "impvalto")->setPlainText(kTicket);
        windowtest::control<QTextEdit>(window, "impvalto")
            ->setFont(QFont(QStringLiteral("Lucida Console"), 9));
    }
    void TearDown() override { m_window.stop(); }
    TFormPalms& form() { return m_window.form(); }
    QString dataPath(const char* name) const { return m_window.dataPath(name); }
    QStringList logLines() const {
        QFile file(dataPath("interface-cuvora.log"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        // Each line after its time.
        for (QString& line : lines)
            line = line.section(u' ', 1);
        return lines;
    }
    windowtest::WindowFixture& window() { return m_window; }

private:
    windowtest::WindowFixture m_window{windowtest::WindowOptions{.installedPrinters = std::nullopt,
                                                                 .localAddresses = std::nullopt}};

protected:
    messages::Recorder& recorder = m_window.recorder;
    modal::Scripted modals;
};

// --- What is sent nowhere, previewed or written to a port ------------------------------

struct NothingPrintedCase {
    const char* name;
    QString destination;
    Kind kind;
    int previews;
};

class NothingPrinted : public Destinations,
                       public ::testing::WithParamInterface<NothingPrintedCase> {};

// No printer is installed, so anything that tried to print would raise.
TEST_P(NothingPrinted, IsPreviewedOrDropped) {
    const NothingPrintedCase& c = GetParam();
    const printers::ScopedSource noPrinter([] { return printers::InstalledPrinters{}; });
    QString previewed;
    modals.onExec = [&](QDialog& dialog) {
        previewed = static_cast<TFormVisao&>(dialog).impvalto->toPlainText();
        return int(QDialog::Accepted);
    };
    form().SendReport(c.destination, dataPath("porta.txt"), c.kind);
    EXPECT_EQ(modals.execCount(), c.previews);
    if (c.previews) {
        EXPECT_EQ(previewed, kTicket);
    }
    EXPECT_FALSE(QFile::exists(dataPath("porta.txt")));
    EXPECT_TRUE(recorder.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    BoxTexts, NothingPrinted,
    ::testing::Values(
        NothingPrintedCase{"KitchenMonitor", "Monitor Cozinha", Kind::KitchenTicket, 0},
        NothingPrintedCase{"KitchenMonitorTrimmed", "  Monitor Cozinha ", Kind::KitchenTicket, 0},
        NothingPrintedCase{"NotPrintedTicket", "Nao Imprimir", Kind::KitchenTicket, 0},
        NothingPrintedCase{"NotPrintedBill", " Nao Imprimir", Kind::Bill, 0},
        NothingPrintedCase{"PreviewWithBlanks", "  Visualizar  ", Kind::KitchenTicket, 1},
        NothingPrintedCase{"PreviewBill", "Visualizar", Kind::Bill, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Destinations, InformarPortaWritesTheLinesInWindows1252WithCrLf) {
    lockedfile::writeAll(dataPath("LPT1"), QByteArray(300, 'x'));
    for (Kind kind : {Kind::KitchenTicket, Kind::Bill}) {
        form().SendReport("Informar Porta", dataPath("LPT1"), kind);
        EXPECT_EQ(lockedfile::readAll(dataPath("LPT1")), QByteArray("Pedido: 41 Mesa: 000012\r\n"
                                                                    "\r\n"
                                                                    "2 x FEIJOADA\r\n"
                                                                    "   P\xe3o de queijo\r\n"));
    }
}

// The caller decides: the cycle ignores it for a ticket and stops on it for a bill.
TEST_F(Destinations, APortInAMissingFolderRaises) {
    for (Kind kind : {Kind::KitchenTicket, Kind::Bill}) {
        EXPECT_THROW(form().SendReport("Informar Porta", dataPath("nao/existe/LPT1"), kind),
                     printing::OutputError);
    }
}

TEST_F(Destinations, WithNoPrinterInstalledPrintingRaises) {
    const printers::ScopedSource noPrinter([] { return printers::InstalledPrinters{}; });
    EXPECT_THROW(form().SendReport("Cozinha", {}, Kind::KitchenTicket), printing::PrinterError);
    EXPECT_THROW(form().SendReport("", {}, Kind::Bill), printing::PrinterError);
}

TEST_F(Destinations, TheSinkTakesTheReportInsteadOfSendingIt) {
    const printers::ScopedSource noPrinter([] { return printers::InstalledPrinters{}; });
    QStringList received;
    start({.reportSink = [&](const QString& destination, const QString& port, Kind kind,
                             const QStringList& lines) {
        EXPECT_EQ(destination, "Visualizar");
        EXPECT_EQ(port, "LPT1");
        EXPECT_EQ(kind, Kind::Bill);
        received = lines;
    }});
    form().SendReport("Visualizar", "LPT1", Kind::Bill);
    EXPECT_EQ(received, kTicket.split(u'\n'));
    EXPECT_EQ(modals.execCount(), 0);
}

// --- Printers, through the private cupsd ------------------------------------------------

struct PrintedCase {
    const char* name;
    QString destination;
    Kind kind;
    const char* queue;
};

class Printed : public Destinations, public ::testing::WithParamInterface<PrintedCase> {};

TEST_P(Printed, ArrivesOnTheQueue) {
    CUVORA_REQUIRE_CUPS_SERVER();
    const PrintedCase& c = GetParam();
    const printers::ScopedSource cups({});
    testsupport::PdfQueueWatch watch(QString::fromLatin1(c.queue));
    const char* other = QByteArray(c.queue) == "PDF" ? "Cozinha" : "PDF";
    testsupport::PdfQueueWatch otherWatch(QString::fromLatin1(other));
    form().SendReport(c.destination, dataPath("porta.txt"), c.kind);
    const QString pdf = watch.waitForNewPdf();
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF arrived on " << c.queue;
    // Three text lines; the empty one leaves a gap.
    EXPECT_EQ(testsupport::inkBands(testsupport::renderFirstPage(pdf, 100)).size(), 3u);
    EXPECT_EQ(testsupport::pdfPages(pdf), QList<QStringList>{kTicket.split(u'\n')});
    EXPECT_TRUE(otherWatch.newPdfs().isEmpty());
    EXPECT_FALSE(QFile::exists(dataPath("porta.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    BoxTexts, Printed,
    ::testing::Values(
        PrintedCase{"PrinterByNameAnyCase", "cozinha", Kind::KitchenTicket, "Cozinha"},
        PrintedCase{"NotInstalledGoesToTheDefault", "Balcao", Kind::KitchenTicket, "PDF"},
        PrintedCase{"EmptyGoesToTheDefault", "", Kind::KitchenTicket, "PDF"},
        PrintedCase{"PortWithALeadingBlankIsAPrinterName", " Informar Porta", Kind::KitchenTicket,
                    "PDF"},
        PrintedCase{"BillBoxReadingKitchenMonitor", "Monitor Cozinha", Kind::Bill, "PDF"},
        PrintedCase{"BillOnItsPrinter", "Cozinha", Kind::Bill, "Cozinha"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The log's line for each report sent, through the private cupsd --------------------

// The job id CUPS gave the job a PDF arrived from (the queues' backend names the file so).
QString jobIdOfPdf(const QString& pdf) {
    return QString::number(QFileInfo(pdf).completeBaseName().mid(4).toInt());
}

// A whole cycle: an item for printer 5 goes to the queue "Cozinha" and, its second copy, to a
// port; the table's bill to the queue "PDF". Each says in one line what it was and where it
// went, with the job CUPS made of it.
TEST_F(Destinations, EachTicketAndBillSentIsOneLineOfTheLog) {
    CUVORA_REQUIRE_CUPS_SERVER();
    const printers::ScopedSource cups({});
    const ScopedRegionalSettings comma(RegionalSettings::comma());
    testsupport::executeSql(window().mainDatabase(),
                            "insert into CabMesa (mesa, vendedor, STATUS) values ('000012', '3', "
                            "'0')");
    testsupport::executeSql(window().mainDatabase(),
                            "insert into vendedor (codigo, Nome) values ('3', 'Ana')");
    window().onTablets("insert into mesa (id, mesa, imp, COZINHA, vend, codigo, Nomep, Quant, "
                       "Valor, Texto) values (1, '000012', '5', '9', '3', 'P1', 'coca cola', 2, "
                       "4.5, '')");
    window().onTablets(
        "insert into mesa (id, mesa, imp, COZINHA, vend, Quant) values (2, '000012', '0', '7', "
        "'3', 1)");
    windowtest::control<QComboBox>(form(), "ComboBox1")->setEditText("pdf");
    windowtest::control<QComboBox>(form(), "ComboBox2")->setEditText("Cozinha");
    windowtest::control<QComboBox>(form(), "ComboBox3")->setEditText("Informar Porta");
    windowtest::control<QLineEdit>(form(), "Edit31")->setText(dataPath("LPT2"));
    testsupport::PdfQueueWatch kitchen(QStringLiteral("Cozinha"));
    testsupport::PdfQueueWatch bills(QStringLiteral("PDF"));

    form().Timer2Timer();

    const QString ticketPdf = kitchen.waitForNewPdf();
    const QString billPdf = bills.waitForNewPdf();
    ASSERT_FALSE(ticketPdf.isEmpty());
    ASSERT_FALSE(billPdf.isEmpty());
    EXPECT_EQ(logLines(),
              (QStringList{"Pedido da cozinha 1 (mesa '000012', garçom 'Ana', impressora 5, 1 "
                           "item(ns)): fila CUPS 'Cozinha', trabalho " +
                               jobIdOfPdf(ticketPdf) + ".",
                           "Pedido da cozinha 1, segunda via (mesa '000012', garçom 'Ana', "
                           "impressora 5, 1 item(ns)): porta '" +
                               dataPath("LPT2") + "' (destino 'Informar Porta').",
                           "Conta da mesa '000012' (garçom 'Ana', total 9,00): fila CUPS 'PDF', "
                           "trabalho " +
                               jobIdOfPdf(billPdf) + " (destino 'pdf')."}));
    EXPECT_TRUE(recorder.shown().empty());
}

struct NotPrintedLineCase {
    const char* name;
    QString destination;
    Kind kind;
    QString line;
    bool screen = true;
};

class NotPrintedLine : public Destinations,
                       public ::testing::WithParamInterface<NotPrintedLineCase> {};

TEST_P(NotPrintedLine, SaysWhereItWent) {
    const NotPrintedLineCase& c = GetParam();
    const printers::ScopedSource noPrinter([] { return printers::InstalledPrinters{}; });
    const ScopedRegionalSettings comma(RegionalSettings::comma());
    modals.screen = c.screen;
    form().SendReport(c.destination, {}, c.kind,
                      c.kind == Kind::Bill
                          ? ReportSubject{.table = "20", .waiter = "", .total = 1234.5}
                          : ReportSubject{.orderNumber = "41",
                                          .printer = 2,
                                          .table = "000012",
                                          .waiter = "Bia\nLuz",
                                          .items = 3});
    // Last: a report kept in the log for want of a screen comes first.
    const QStringList lines = logLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), c.line);
}

INSTANTIATE_TEST_SUITE_P(
    BoxTexts, NotPrintedLine,
    ::testing::Values(
        NotPrintedLineCase{"KitchenMonitor", " Monitor Cozinha", Kind::KitchenTicket,
                           "Pedido da cozinha 41 (mesa '000012', garçom 'Bia Luz', impressora 2, "
                           "3 item(ns)): no monitor da cozinha (cozinha2), sem impressão (destino "
                           "' Monitor Cozinha')."},
        NotPrintedLineCase{"NotPrintedBill", "Nao Imprimir", Kind::Bill,
                           "Conta da mesa '20' (garçom '', total 1234,50): sem impressão (destino "
                           "'Nao Imprimir')."},
        NotPrintedLineCase{"PreviewWithoutAScreen", "Visualizar", Kind::Bill,
                           "Conta da mesa '20' (garçom '', total 1234,50): não mostrado, sem tela "
                           "para a pré-visualização: o texto está no log (destino 'Visualizar').",
                           false}),
    [](const auto& info) { return std::string(info.param.name); });

// A stopped queue takes every job and prints none: said once per stop, however many jobs
// meet it, and again when the queue, enabled meanwhile, is stopped again.
TEST_F(Destinations, AStoppedQueueIsToldOncePerStop) {
    CUVORA_REQUIRE_CUPS_SERVER();
    const testsupport::ExtraPdfQueue queue(QStringLiteral("Parada"), QStringLiteral("Cozinha"));
    ASSERT_FALSE(HasFailure());
    const printers::ScopedSource cups({});
    testsupport::PdfQueueWatch watch(QStringLiteral("Cozinha"));
    const QString warning = QStringLiteral(
        "A fila CUPS 'Parada' está parada (cupsdisable, ou a CUPS a parou após uma falha da "
        "impressora): ela aceita os trabalhos mas não os imprime; o trabalho %1 espera nela, com "
        "os que vierem depois. Conserte a impressora e libere a fila: cupsenable Parada");
    const auto warnings = [&] {
        return logLines().filter(QStringLiteral("A fila CUPS 'Parada' está parada"));
    };
    const auto lastJob = [&] {
        const QStringList sent = logLines().filter(QStringLiteral("Pedido da cozinha"));
        return sent.isEmpty()
                   ? QString()
                   : QRegularExpression(QStringLiteral("fila CUPS 'Parada', trabalho (\\d+)"))
                         .match(sent.last())
                         .captured(1);
    };

    ASSERT_EQ(queue.run("cupsdisable"), 0);
    form().SendReport("Parada", {}, Kind::KitchenTicket, {.orderNumber = "1"});
    const QString firstJob = lastJob();
    ASSERT_FALSE(firstJob.isEmpty()) << logLines().join(u'\n').toStdString();
    for (int cycle = 2; cycle <= 4; ++cycle)
        form().SendReport("Parada", {}, Kind::KitchenTicket,
                          {.orderNumber = QString::number(cycle)});
    EXPECT_EQ(warnings(), QStringList{warning.arg(firstJob)});
    EXPECT_EQ(logLines().filter(QStringLiteral(", que espera na fila parada.")).size(), 4);
    EXPECT_TRUE(watch.newPdfs().isEmpty());

    ASSERT_EQ(queue.run("cupsenable"), 0);
    form().SendReport("Parada", {}, Kind::KitchenTicket, {.orderNumber = "5"});
    EXPECT_TRUE(logLines().last().endsWith(QStringLiteral("fila CUPS 'Parada', trabalho ") +
                                           lastJob() + QStringLiteral(".")));
    EXPECT_EQ(warnings().size(), 1);

    // A stop in a later second is another stop.
    QThread::sleep(1);
    ASSERT_EQ(queue.run("cupsdisable"), 0);
    form().SendReport("Parada", {}, Kind::KitchenTicket, {.orderNumber = "6"});
    form().SendReport("Parada", {}, Kind::KitchenTicket, {.orderNumber = "7"});
    EXPECT_EQ(warnings().size(), 2);
    ASSERT_EQ(queue.run("cupsenable"), 0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
