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

int runCups(const QString& tool, QStringList arguments) {
    arguments.prepend(qEnvironmentVariable("CUPS_SERVER"));
    arguments.prepend(QStringLiteral("-h"));
    return QProcess::execute(tool, arguments);
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
        // The backend renames a finished file into place; pdfinfo reading it is the check.
        if (!fresh.isEmpty() && pdfPageCount(fresh.first()) > 0)
            return fresh.first();
        QThread::msleep(200);
    }
    return {};
}

ExtraPdfQueue::ExtraPdfQueue(const QString& name, const QString& landsAmong) : m_name(name) {
    const QString root = qEnvironmentVariable("CUVORA_TEST_PDF_DIR");
    const int status =
        runCups(QStringLiteral("lpadmin"),
                {QStringLiteral("-p"), name, QStringLiteral("-v"),
                 QStringLiteral("pdf-folder:") + pdfQueueFolder(landsAmong), QStringLiteral("-P"),
                 QDir(root).filePath(QStringLiteral("queue.ppd")), QStringLiteral("-E")});
    if (status != 0)
        ADD_FAILURE() << "lpadmin could not add the queue " << name.toStdString();
}

ExtraPdfQueue::~ExtraPdfQueue() {
    runCups(QStringLiteral("lpadmin"), {QStringLiteral("-x"), m_name});
}

int ExtraPdfQueue::run(const QString& tool) const {
    return runCups(tool, {m_name});
}

QList<QStringList> pdfPages(const QString& pdf) {
    const QString text =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                          QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    static const QRegularExpression trailing(QStringLiteral("\\s+$"));
    QList<QStringList> pages;
    QStringList pageTexts = text.split(QLatin1Char('\f'));
    pageTexts.removeLast(); // what follows the last page's form feed
    for (const QString& pageText : pageTexts) {
        QStringList lines = pageText.split(QLatin1Char('\n'));
        for (QString& line : lines)
            line.remove(trailing);
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        pages.append(lines);
    }
    return pages;
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
