// PDF rendering: the ticket as it looks on thermal paper, for preview, file printers
// and CUPS queues with a driver. Characters sit on the printer's cell grid (a Chinese
// character on two cells), so columns line up exactly as they do on paper.
#include "renderers.h"

#include "text_cells.h"

#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QMutex>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QtMath>

using namespace Qt::StringLiterals;

namespace cookhub::report {

namespace {

constexpr int kDpi = 720;
constexpr double kRowMm = 3.75;   // 30 dots at 203 dpi, a thermal printer's line pitch
constexpr double kGlyphMm = 3.0;  // 24-dot characters
constexpr double kTopMm = 4.0;
constexpr double kBottomMm = 6.0;

double units(double mm) {
    return mm * kDpi / 25.4;
}

// The family of the font file, registered once. Loading the file ourselves keeps the
// output the same whatever fontconfig would pick; the half-width "Mono" face of the
// collection matches the printer's narrow Latin characters.
QString fontFamily() {
    static QMutex mutex;
    static QString family;
    static bool loaded = false;
    const QMutexLocker lock(&mutex);
    if (!loaded) {
        loaded = true;
        const int id = QFontDatabase::addApplicationFont(reportFontFile());
        const QStringList families =
            id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        for (const QString& name : families) {
            if (family.isEmpty() || name.contains(u"Mono"_s, Qt::CaseInsensitive))
                family = name;
        }
    }
    return family;
}

}  // namespace

QString reportFontFile() {
    const QString chosen = qEnvironmentVariable("COOKHUB_REPORT_FONT");
    return chosen.isEmpty() ? u"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"_s : chosen;
}

QString reportFontFamily() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? fontFamily() : QString();
}

namespace {

double pageHeightMm(const PreparedTicket& ticket) {
    double contentMm = 0;
    for (const PreparedLine& line : ticket.lines)
        contentMm += isTall(line.size) ? 2 * kRowMm : kRowMm;
    return kTopMm + contentMm + kBottomMm;
}

// One copy of the ticket on a page whose device counts `unitsPerMm` units in a
// millimetre: the PDF writer's page, or an image of it.
void drawCopy(QPainter& painter, QPaintDevice* device, const PreparedTicket& ticket,
              double unitsPerMm) {
    const auto at = [unitsPerMm](double mm) { return mm * unitsPerMm; };
    const double paperMm = ticket.paperMm == 58 ? 58.0 : 80.0;
    const double printableMm = ticket.paperMm == 58 ? 48.0 : 72.0;
    const double cellMm = printableMm / ticket.columns;
    const double leftMm = (paperMm - printableMm) / 2;

    QFont regular(fontFamily());
    regular.setPixelSize(qRound(at(kGlyphMm)));
    regular.setHintingPreference(QFont::PreferNoHinting);
    QFont bold = regular;
    bold.setBold(true);
    const QFontMetricsF metrics(regular, device);
    const double cell = at(cellMm);
    const double baseline = at((kRowMm - kGlyphMm) / 2) + metrics.ascent();

    painter.setPen(Qt::black);
    double y = at(kTopMm);
    for (const PreparedLine& line : ticket.lines) {
        const double sx = isWide(line.size) ? 2 : 1;
        const double sy = isTall(line.size) ? 2 : 1;
        const int cells = ticket.columns / static_cast<int>(sx);
        const int spare = std::max(0, cells - textCells(line.text));
        int x = line.align == Align::Right ? spare : line.align == Align::Center ? spare / 2 : 0;
        painter.save();
        painter.translate(at(leftMm), y + sy * baseline);
        painter.scale(sx, sy);
        painter.setFont(line.bold ? bold : regular);
        for (const QChar c : line.text) {
            const int width = c.unicode() < 0x80 ? 1 : 2;
            if (c != u' ') {
                const QString glyph(c);
                const double advance = metrics.horizontalAdvance(glyph);
                painter.drawText(QPointF(x * cell + (width * cell - advance) / 2, 0), glyph);
            }
            x += width;
        }
        painter.restore();
        y += sy * at(kRowMm);
    }
}

bool haveGuiApplication() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

QByteArray renderPdf(const PreparedTicket& ticket) {
    if (ticket.isEmpty() || !haveGuiApplication())
        return {};
    const double paperMm = ticket.paperMm == 58 ? 58.0 : 80.0;
    const QSizeF pageMm(paperMm, pageHeightMm(ticket));

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kDpi);
        writer.setCreator(u"Cookhub"_s);
        writer.setPageSize(
            QPageSize(pageMm, QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);

        QPainter painter;
        if (!painter.begin(&writer))
            return {};
        for (int copy = 0; copy < ticket.copies; ++copy) {
            if (copy > 0)
                writer.newPage();
            drawCopy(painter, &writer, ticket, units(1.0));
        }
        painter.end();
    }
    return bytes;
}

QImage renderPdfPage(const PreparedTicket& ticket, double dotsPerMm) {
    if (ticket.isEmpty() || !haveGuiApplication() || dotsPerMm <= 0 || dotsPerMm > 50)
        return {};
    const double paperMm = ticket.paperMm == 58 ? 58.0 : 80.0;
    QImage image(qCeil(paperMm * dotsPerMm), qCeil(pageHeightMm(ticket) * dotsPerMm),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dotsPerMm * 1000));
    image.setDotsPerMeterY(qRound(dotsPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawCopy(painter, &image, ticket, dotsPerMm);
    return image;
}

}  // namespace cookhub::report
