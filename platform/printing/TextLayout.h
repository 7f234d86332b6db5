#pragma once

#include <QFontMetricsF>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <vector>

namespace printing {

// A piece of text at its place on the page; the top-left of the text's line box.
struct TextPlacement {
    bool newPageBefore = false;
    QPointF topLeft;
    QString text;
};

// Where the text device puts the lines it is given, one after the other: from the top
// left of the printable area; a line as high as its text plus two device pixels, an empty
// line as high as the font; text wider than the page goes on in the next line; a tab
// advances to the next multiple of eight average character widths; a new page begins
// when the next line would come within two line heights of the page's bottom. A page
// break is only taken when text follows it, so no empty page ends a job.
class TextLayout {
public:
    TextLayout(const QFontMetricsF& metrics, const QSizeF& page);

    std::vector<TextPlacement> placeLine(const QString& line);

private:
    void emitRun(std::vector<TextPlacement>& out, QString& run, qreal& x);
    void advance(qreal height);

    QFontMetricsF m_metrics;
    QSizeF m_page;
    qreal m_y = 0;
    bool m_pageBreakPending = false;
};

} // namespace printing
