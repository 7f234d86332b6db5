#pragma once

// The private cupsd's PDF queues for printing tests (tools/cups-server.sh, started by
// tools/test.sh): "PDF" (the default) and "Cozinha" write each job as a PDF under
// $CUVORA_TEST_PDF_DIR/<queue>.
//
//   CUVORA_REQUIRE_CUPS_SERVER();
//   PdfQueueWatch watch("Cozinha");       // the PDFs there now
//   ... print ...
//   QString pdf = watch.waitForNewPdf();  // the job that arrived since
//   auto lines = inkBands(renderFirstPage(pdf));

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
    // The first PDF that was not there at construction, once cups-pdf has finished
    // writing it; empty after the time-out (30 s).
    QString waitForNewPdf() const;
    // PDFs that arrived since construction, without waiting.
    QStringList newPdfs() const;

private:
    QString m_folder;
    QSet<QString> m_before;
};

// cups-pdf's PDFs carry their text as Type 3 glyphs that pdftotext cannot read back,
// so tests look at the rendered page: the bands of rows holding dark pixels, top to
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
