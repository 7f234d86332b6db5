#include "platform/printing/TextLayout.h"

#include <cmath>

namespace printing {

TextLayout::TextLayout(const QFontMetricsF& metrics, const QSizeF& page)
    : m_metrics(metrics), m_page(page) {}

std::vector<TextPlacement> TextLayout::placeLine(const QString& line) {
    std::vector<TextPlacement> out;
    if (line.isEmpty()) {
        advance(m_metrics.height());
        return out;
    }
    const qreal textLineHeight = m_metrics.height() + 2;
    const qreal tabWidth = 8 * m_metrics.averageCharWidth();
    qreal x = 0;
    QString run;
    for (const QChar c : line) {
        if (c == u'\t') {
            emitRun(out, run, x);
            x = tabWidth > 0 ? (std::floor(x / tabWidth) + 1) * tabWidth : x;
            continue;
        }
        // A piece that would pass the right edge goes on in the next line; a single
        // character wider than the page still stands alone.
        if (x + m_metrics.horizontalAdvance(run + c) > m_page.width() &&
            (x > 0 || !run.isEmpty())) {
            emitRun(out, run, x);
            advance(textLineHeight);
            x = 0;
        }
        run += c;
    }
    emitRun(out, run, x);
    advance(textLineHeight);
    return out;
}

void TextLayout::emitRun(std::vector<TextPlacement>& out, QString& run, qreal& x) {
    if (run.isEmpty())
        return;
    TextPlacement placement;
    placement.newPageBefore = m_pageBreakPending;
    m_pageBreakPending = false;
    placement.topLeft = QPointF(x, m_y);
    placement.text = run;
    x += m_metrics.horizontalAdvance(run);
    out.push_back(std::move(placement));
    run.clear();
}

void TextLayout::advance(qreal height) {
    m_y += height;
    const qreal textLineHeight = m_metrics.height() + 2;
    if (m_y + 2 * textLineHeight > m_page.height()) {
        m_y = 0;
        m_pageBreakPending = true;
    }
}

} // namespace printing
