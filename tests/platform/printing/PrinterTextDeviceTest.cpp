#include "platform/printing/PrinterTextDevice.h"

#include "platform/Fonts.h"
#include "platform/printing/PrintingErrors.h"
#include "tests/support/PdfQueues.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QThread>

#include <gtest/gtest.h>

namespace {

using testsupport::PdfQueueWatch;

// The job id CUPS gave the job a PDF arrived from (the queues' backend names the file so).
int jobIdOfPdf(const QString& pdf) {
    const QString name = QFileInfo(pdf).completeBaseName();
    return name.startsWith(QLatin1String("job-")) ? name.mid(4).toInt() : -1;
}

int printOneLine(const QString& queue, const QString& line, printing::HandedJob* handed = nullptr) {
    printing::PrinterTextDevice device(
        queue, fonts::windowsFontPoints(QStringLiteral("Lucida Console"), 9));
    device.writeLine(line);
    const printing::HandedJob job = device.close();
    if (handed)
        *handed = job;
    return job.id;
}

// Printing through the private cupsd: the job arrives as a PDF on the queue it was sent to.
TEST(PrinterTextDevice, PrintsTheLinesOnTheNamedQueue) {
    CUVORA_REQUIRE_CUPS_SERVER();
    PdfQueueWatch watch(QStringLiteral("Cozinha"));
    const QFont font = fonts::windowsFontPoints(QStringLiteral("Lucida Console"), 9);
    {
        printing::PrinterTextDevice device(QStringLiteral("Cozinha"), font);
        device.writeLine(QStringLiteral("Pedido: 41 Mesa: 000012"));
        device.writeLine(QString());
        device.writeLine(QStringLiteral("2 x FEIJOADA"));
        device.close();
    }
    const QString pdf = watch.waitForNewPdf();
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF arrived";
    EXPECT_EQ(testsupport::pdfPageCount(pdf), 1);
    EXPECT_EQ(testsupport::pdfPages(pdf),
              (QList<QStringList>{{"Pedido: 41 Mesa: 000012", "", "2 x FEIJOADA"}}));

    // Two printed lines at the left edge, their widths in the ratio of their lengths (a
    // monospaced face), the second two font heights below the first (the empty line is
    // as high as the font, the text line two device pixels more).
    constexpr int kDpi = 100;
    const auto bands = testsupport::inkBands(testsupport::renderFirstPage(pdf, kDpi));
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_NEAR(bands[0].left, bands[1].left, 2);
    EXPECT_NEAR(double(bands[0].width()) / bands[1].width(), 23.0 / 12.0, 0.15);
    QImage reference(1, 1, QImage::Format_Grayscale8);
    reference.setDotsPerMeterX(qRound(kDpi / 0.0254));
    reference.setDotsPerMeterY(qRound(kDpi / 0.0254));
    const qreal fontHeight = QFontMetricsF(font, &reference).height();
    EXPECT_NEAR(bands[1].top - bands[0].top, 2 * fontHeight, 3);
}

TEST(PrinterTextDevice, LongTextRunsOnToFurtherPages) {
    CUVORA_REQUIRE_CUPS_SERVER();
    PdfQueueWatch watch(QStringLiteral("PDF"));
    {
        printing::PrinterTextDevice device(
            QStringLiteral("PDF"), fonts::windowsFontPoints(QStringLiteral("Lucida Console"), 12));
        for (int i = 1; i <= 120; ++i)
            device.writeLine(QStringLiteral("linha %1").arg(i));
        device.close();
    }
    const QString pdf = watch.waitForNewPdf();
    ASSERT_FALSE(pdf.isEmpty()) << "no PDF arrived";
    EXPECT_GE(testsupport::pdfPageCount(pdf), 2);
    // Every line once, in order, none cut off at a page's foot.
    QStringList printed;
    for (const QStringList& page : testsupport::pdfPages(pdf))
        printed += page;
    QStringList expected;
    for (int i = 1; i <= 120; ++i)
        expected.append(QStringLiteral("linha %1").arg(i));
    EXPECT_EQ(printed, expected);
}

TEST(PrinterTextDevice, AnUnknownPrinterIsAnError) {
    CUVORA_REQUIRE_CUPS_SERVER();
    const QFont font = fonts::windowsFontPoints(QStringLiteral("Lucida Console"), 9);
    EXPECT_THROW(printing::PrinterTextDevice(QStringLiteral("Nao Existe"), font),
                 printing::PrinterError);
    EXPECT_THROW(printing::PrinterTextDevice(QString(), font), printing::PrinterError);
}

// Qt hands a finished job to CUPS and drops CUPS's answer: a queue that rejects jobs must
// still raise, whether it rejects before the job starts or by the time the job is handed over.
TEST(PrinterTextDevice, AQueueThatRejectsJobsIsAnError) {
    CUVORA_REQUIRE_CUPS_SERVER();
    const testsupport::ExtraPdfQueue queue(QStringLiteral("Recusa"), QStringLiteral("Cozinha"));
    ASSERT_FALSE(HasFailure());
    const QFont font = fonts::windowsFontPoints(QStringLiteral("Lucida Console"), 9);
    PdfQueueWatch watch(QStringLiteral("Cozinha"));

    ASSERT_EQ(queue.run("cupsreject"), 0);
    try {
        printing::PrinterTextDevice device(QStringLiteral("Recusa"), font);
        FAIL() << "a rejecting queue opened";
    } catch (const printing::PrinterError& error) {
        EXPECT_STREQ(error.what(), "The printer Recusa is not accepting jobs");
    }

    ASSERT_EQ(queue.run("cupsaccept"), 0);
    printing::PrinterTextDevice device(QStringLiteral("Recusa"), font);
    device.writeLine(QStringLiteral("PEDIDO       :1"));
    ASSERT_EQ(queue.run("cupsreject"), 0);
    EXPECT_THROW(device.close(), printing::PrinterError);
    EXPECT_TRUE(watch.newPdfs().isEmpty());
}

// Each job is found again by its own title: the id close() gives is the one CUPS printed.
TEST(PrinterTextDevice, CloseSaysWhichJobCupsMadeOfIt) {
    CUVORA_REQUIRE_CUPS_SERVER();
    for (const QString& queue : {QStringLiteral("Cozinha"), QStringLiteral("PDF")}) {
        for (int round = 0; round < 2; ++round) {
            PdfQueueWatch watch(queue);
            printing::HandedJob job;
            printOneLine(queue, QStringLiteral("PEDIDO       :%1").arg(round), &job);
            const QString pdf = watch.waitForNewPdf();
            ASSERT_FALSE(pdf.isEmpty()) << "no PDF arrived on " << queue.toStdString();
            EXPECT_GT(job.id, 0);
            EXPECT_EQ(job.id, jobIdOfPdf(pdf)) << pdf.toStdString();
            EXPECT_FALSE(job.queueStopped);
        }
    }
}

// A stopped queue takes the job and keeps it: close() says so, and the job prints once the
// queue is enabled. Each stop has a time of its own.
TEST(PrinterTextDevice, AStoppedQueueTakesTheJobAndKeepsIt) {
    CUVORA_REQUIRE_CUPS_SERVER();
    const testsupport::ExtraPdfQueue queue(QStringLiteral("Parada"), QStringLiteral("Cozinha"));
    ASSERT_FALSE(HasFailure());
    PdfQueueWatch watch(QStringLiteral("Cozinha"));

    ASSERT_EQ(queue.run("cupsdisable"), 0);
    printing::HandedJob first;
    printing::HandedJob second;
    printOneLine(QStringLiteral("Parada"), QStringLiteral("PEDIDO       :1"), &first);
    printOneLine(QStringLiteral("Parada"), QStringLiteral("PEDIDO       :2"), &second);
    EXPECT_TRUE(first.queueStopped);
    EXPECT_TRUE(second.queueStopped);
    EXPECT_GT(first.id, 0);
    EXPECT_GT(second.id, first.id);
    EXPECT_NE(first.queueStateChangeTime, 0);
    EXPECT_EQ(second.queueStateChangeTime, first.queueStateChangeTime);
    EXPECT_TRUE(watch.newPdfs().isEmpty());

    ASSERT_EQ(queue.run("cupsenable"), 0);
    const QString pdf = watch.waitForNewPdf();
    ASSERT_FALSE(pdf.isEmpty()) << "the waiting job did not print";
    EXPECT_TRUE(jobIdOfPdf(pdf) == first.id || jobIdOfPdf(pdf) == second.id);

    // A stop in a later second is another stop.
    QThread::sleep(1);
    ASSERT_EQ(queue.run("cupsdisable"), 0);
    printing::HandedJob again;
    printOneLine(QStringLiteral("Parada"), QStringLiteral("PEDIDO       :3"), &again);
    EXPECT_TRUE(again.queueStopped);
    EXPECT_GT(again.queueStateChangeTime, first.queueStateChangeTime);
    ASSERT_EQ(queue.run("cupsenable"), 0);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
