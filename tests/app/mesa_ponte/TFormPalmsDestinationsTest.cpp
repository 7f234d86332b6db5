#include "app/mesa_ponte/TFormPalms.h"

#include "app/visao/UnitVisao.h"
#include "platform/LockedFile.h"
#include "platform/Printers.h"
#include "platform/printing/PrintingErrors.h"
#include "platform/widgets/ApplicationTitle.h"
#include "platform/widgets/MessageSeam.h"
#include "platform/widgets/ModalSeam.h"
#include "tests/app/mesa_ponte/WindowFixture.h"
#include "tests/support/PdfQueues.h"
#include "tests/support/TestDatabases.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

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
    void SetUp() override {
        TFormPalms& window = m_window.start();
        ASSERT_TRUE(recorder.shown().empty());
        window.impvalto->setPlainText(kTicket);
        window.impvalto->setFont(QFont(QStringLiteral("Lucida Console"), 9));
    }
    void TearDown() override { m_window.stop(); }
    TFormPalms& form() { return m_window.form(); }
    QString dataPath(const char* name) const { return m_window.dataPath(name); }

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
    form().reportSink = [&](const QString& destination, const QString& port, Kind kind,
                            const QStringList& lines) {
        EXPECT_EQ(destination, "Visualizar");
        EXPECT_EQ(port, "LPT1");
        EXPECT_EQ(kind, Kind::Bill);
        received = lines;
    };
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

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
