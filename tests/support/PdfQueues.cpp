#include "tests/support/PdfQueues.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>

namespace testsupport {

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList pdfsIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

} // namespace

QString pdfQueueFolder(const QString& queue) {
    const QString root = qEnvironmentVariable("CUVORA_TEST_PDF_DIR");
    if (root.isEmpty() || qEnvironmentVariable("CUPS_SERVER").isEmpty())
        return {};
    return QDir(root).filePath(queue);
}

PdfQueueWatch::PdfQueueWatch(const QString& queue) : m_folder(pdfQueueFolder(queue)) {
    for (const QString& name : pdfsIn(m_folder))
        m_before.insert(name);
}

QStringList PdfQueueWatch::newPdfs() const {
    QStringList fresh;
    for (const QString& name : pdfsIn(m_folder)) {
        if (!m_before.contains(name))
            fresh.append(QDir(m_folder).filePath(name));
    }
    return fresh;
}

QString PdfQueueWatch::waitForNewPdf() const {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(30);
    while (steady_clock::now() < deadline) {
        const QStringList fresh = newPdfs();
        // cups-pdf writes the file in place; it is done when pdfinfo can read it.
        if (!fresh.isEmpty() && pdfPageCount(fresh.first()) > 0)
            return fresh.first();
        QThread::msleep(200);
    }
    return {};
}

std::vector<InkBand> inkBands(const QImage& page) {
    const QImage gray = page.convertToFormat(QImage::Format_Grayscale8);
    std::vector<InkBand> bands;
    bool inBand = false;
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* row = gray.constScanLine(y);
        int left = -1;
        int right = -1;
        for (int x = 0; x < gray.width(); ++x) {
            if (row[x] < 128) {
                if (left < 0)
                    left = x;
                right = x;
            }
        }
        if (left < 0) {
            inBand = false;
            continue;
        }
        if (!inBand)
            bands.push_back({y, y, left, right});
        InkBand& band = bands.back();
        band.bottom = y;
        band.left = std::min(band.left, left);
        band.right = std::max(band.right, right);
        inBand = true;
    }
    return bands;
}

int pdfPageCount(const QString& pdf) {
    const QString info = run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption)
            .match(info);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QImage renderFirstPage(const QString& pdf, int dpi) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-gray"), QStringLiteral("-png"), QStringLiteral("-r"),
         QString::number(dpi), QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
         QStringLiteral("1"), QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

} // namespace testsupport
