#pragma once

// The private cupsd's PDF queues for printing tests (tools/cups-server.sh, started by
// tools/test.sh): "PDF" (the default) and "Cozinha" keep each job, the PDF as Qt sent it,
// under $CUVORA_TEST_PDF_DIR/<queue>.
//
//   CUVORA_REQUIRE_CUPS_SERVER();
//   PdfQueueWatch watch("Cozinha");       // the PDFs there now
//   ... print ...
//   QString pdf = watch.waitForNewPdf();  // the job that arrived since
//   auto pages = pdfPages(pdf);           // the printed lines, page by page
//   auto bands = inkBands(renderFirstPage(pdf));

#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

// The queue folder's path, or empty when no test server is configured.
QString pdfQueueFolder(const QString& queue);

class PdfQueueWatch {
public:
    explicit PdfQueueWatch(const QString& queue);
    // The first PDF that was not there at construction, once it is whole; empty after the
    // time-out (30 s).
    QString waitForNewPdf() const;
    // PDFs that arrived since construction, without waiting.
    QStringList newPdfs() const;

private:
    QString m_folder;
    QSet<QString> m_before;
};

// A queue of a test's own on the private cupsd whose jobs land among another queue's
// PDFs; removed again at destruction.
class ExtraPdfQueue {
public:
    ExtraPdfQueue(const QString& name, const QString& landsAmong);
    ~ExtraPdfQueue();
    ExtraPdfQueue(const ExtraPdfQueue&) = delete;
    ExtraPdfQueue& operator=(const ExtraPdfQueue&) = delete;
    // Runs a CUPS command-line tool (cupsaccept, cupsreject, ...) on the queue.
    int run(const QString& tool) const;

private:
    QString m_name;
};

// Each page's text lines, top to bottom, as pdftotext -layout lays them out: runs of
// blanks inside a line are its estimate from the glyphs' positions, so a test that needs
// exact columns reads a port file instead. Trailing blanks dropped; empty when pdftotext
// cannot read the file.
QList<QStringList> pdfPages(const QString& pdf);

// Where the text sits: the bands of rows holding dark pixels of a rendered page, top to
// bottom, are the printed lines.
struct InkBand {
    int top = 0;
    int bottom = 0; // inclusive
    int left = 0;
    int right = 0; // inclusive
    int width() const { return right - left + 1; }
};
std::vector<InkBand> inkBands(const QImage& page);
// The number of pages (pdfinfo).
int pdfPageCount(const QString& pdf);
// The first page rendered by pdftoppm at the resolution, in gray.
QImage renderFirstPage(const QString& pdf, int dpi = 72);

} // namespace testsupport

// Skips when no test CUPS server is configured, fails when CI is set.
#define CUVORA_REQUIRE_CUPS_SERVER()                                                               \
    do {                                                                                           \
        if (::testsupport::pdfQueueFolder(QStringLiteral("PDF")).isEmpty()) {                      \
            if (qEnvironmentVariableIsSet("CI"))                                                   \
                FAIL()                                                                             \
                    << "CUPS_SERVER / CUVORA_TEST_PDF_DIR are not set (tools/test.sh sets them)";  \
            GTEST_SKIP() << "CUPS_SERVER / CUVORA_TEST_PDF_DIR are not set";                       \
        }                                                                                          \
    } while (false)
