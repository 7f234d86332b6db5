// Draws the main window's pictures and writes them into app/resources/: the logo and the
// title-bar picture as stored-picture blocks (a length byte, the picture class name, the
// JPEG bytes), the small pictures and the icon as PNG files.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <cstdlib>

namespace {

const QColor kWindowBlue(43, 87, 154);
const QColor kNavy(16, 38, 88);

void save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

void saveStoredJpeg(const QImage& image, const QString& path) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", 88);
    const QByteArray className("TqkSmartImage");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    file.write(QByteArray(1, static_cast<char>(className.size())) + className + jpeg);
}

QImage canvas(int width, int height, QColor fill = Qt::transparent) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

// A tablet beside a ticket, over the program's name.
QImage logo() {
    QImage image = canvas(320, 212, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QRadialGradient glow(QPointF(160, 86), 120);
    glow.setColorAt(0, QColor(222, 233, 250));
    glow.setColorAt(1, Qt::white);
    p.fillRect(image.rect(), glow);

    // Tablet.
    p.setPen(QPen(kNavy, 3));
    p.setBrush(kWindowBlue);
    p.drawRoundedRect(QRectF(70, 28, 104, 132), 12, 12);
    p.setBrush(QColor(236, 243, 255));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(80, 40, 84, 100));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(122, 150), 4, 4);
    p.setPen(QPen(kWindowBlue, 4, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(90, 56 + i * 20), QPointF(150 - (i % 2) * 18, 56 + i * 20));

    // Ticket with a torn edge.
    QPainterPath ticket;
    ticket.moveTo(190, 48);
    ticket.lineTo(250, 48);
    ticket.lineTo(250, 150);
    for (int x = 250; x > 190; x -= 10) {
        ticket.lineTo(x - 5, 156);
        ticket.lineTo(x - 10, 150);
    }
    ticket.closeSubpath();
    p.setPen(QPen(kNavy, 2));
    p.setBrush(Qt::white);
    p.drawPath(ticket);
    p.setPen(QPen(QColor(120, 130, 150), 2));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(200, 64 + i * 16), QPointF(240 - (i % 3) * 8, 64 + i * 16));

    // The arrow towards the name.
    p.setPen(QPen(QColor(230, 120, 20), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(70, 178), QPointF(118, 178));
    p.drawLine(QPointF(106, 168), QPointF(118, 178));
    p.drawLine(QPointF(106, 188), QPointF(118, 178));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kNavy);
    p.drawText(QRectF(130, 162, 150, 32), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Cuvora"));
    return image;
}

// A gradient from the window's blue to a paler one, with a soft highlight band.
QImage titleBar() {
    QImage image = canvas(637, 49);
    QPainter p(&image);
    QLinearGradient band(0, 0, 0, 49);
    band.setColorAt(0, QColor(190, 208, 236));
    band.setColorAt(0.45, QColor(140, 170, 220));
    band.setColorAt(1, QColor(92, 128, 188));
    p.fillRect(image.rect(), band);
    QLinearGradient sheen(0, 0, 637, 0);
    sheen.setColorAt(0, QColor(255, 255, 255, 90));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 0));
    sheen.setColorAt(1, QColor(255, 255, 255, 60));
    p.fillRect(image.rect(), sheen);
    p.setPen(QPen(kWindowBlue, 2));
    p.drawLine(0, 48, 637, 48);
    return image;
}

QImage titleButton(bool close) {
    QImage image = canvas(18, 18);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kNavy, 1));
    p.setBrush(close ? QColor(200, 48, 40) : QColor(60, 100, 170));
    p.drawRoundedRect(QRectF(0.5, 0.5, 17, 17), 3, 3);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    if (close) {
        p.drawLine(QPointF(5, 5), QPointF(13, 13));
        p.drawLine(QPointF(13, 5), QPointF(5, 13));
    } else {
        p.drawLine(QPointF(5, 12.5), QPointF(13, 12.5));
    }
    return image;
}

enum class Glyph { Exit, Minimise, Save };

QImage buttonGlyph(Glyph glyph) {
    QImage image = canvas(24, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case Glyph::Exit:
        p.setPen(QPen(QColor(160, 30, 30), 2));
        p.setBrush(QColor(220, 70, 60));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(16, 16));
        p.drawLine(QPointF(16, 8), QPointF(8, 16));
        break;
    case Glyph::Minimise:
        p.setPen(QPen(kNavy, 1.5));
        p.setBrush(QColor(110, 150, 215));
        p.drawRoundedRect(QRectF(2, 3, 20, 15), 2, 2);
        p.setBrush(QColor(230, 120, 20));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(7, 14), QPointF(17, 14), QPointF(12, 22)}));
        break;
    case Glyph::Save:
        p.setPen(QPen(QColor(20, 110, 40), 1.5));
        p.setBrush(QColor(60, 170, 80));
        p.drawEllipse(QRectF(2, 2, 20, 20));
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(7, 12.5), QPointF(10.5, 16), QPointF(17, 8)}));
        break;
    }
    return image;
}

// The program's icon: a tablet on the window's blue.
QImage icon(int size) {
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kWindowBlue);
    p.drawRoundedRect(QRectF(0, 0, 32, 32), 6, 6);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(8, 4, 16, 24), 3, 3);
    p.setBrush(QColor(230, 120, 20));
    p.drawRect(QRectF(11, 8, 10, 3));
    p.setBrush(kWindowBlue);
    p.drawRect(QRectF(11, 13, 10, 2));
    p.drawRect(QRectF(11, 17, 7, 2));
    p.drawEllipse(QPointF(16, 24.5), 1.5, 1.5);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-pictures OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    saveStoredJpeg(logo(), out.filePath("Image1.stored"));
    saveStoredJpeg(titleBar(), out.filePath("Image4.stored"));
    save(titleButton(false), out.filePath("Image2.png"));
    save(titleButton(true), out.filePath("Image3.png"));
    save(buttonGlyph(Glyph::Exit), out.filePath("BitBtn1.png"));
    save(buttonGlyph(Glyph::Minimise), out.filePath("BitBtn3.png"));
    save(buttonGlyph(Glyph::Save), out.filePath("BitBtn2.png"));
    save(icon(16), out.filePath("icon16.png"));
    save(icon(32), out.filePath("icon32.png"));
    save(icon(64), out.filePath("icon64.png"));
    return 0;
}
