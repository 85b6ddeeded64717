// The three ways a prepared ticket leaves the report engine. Each renders every copy
// of the ticket; an empty ticket ("prepares no page") renders as empty bytes.
#pragma once

#include "report.h"

#include <QByteArray>
#include <QImage>

namespace cookhub::report {

// ESC/POS for 80 mm and 58 mm thermal printers in Chinese mode, text in GBK. Per copy:
// ESC @, FS &, (first copy only) ESC B buzzer, the lines with ESC a / GS ! / ESC E as
// they change, ESC d feed, GS V cut. Needs no application object.
QByteArray renderEscPos(const PreparedTicket& ticket);

// UTF-8 text, one line per paper line at normal size, placed as on paper; copies are
// separated by a form feed. Needs no application object.
QByteArray renderText(const PreparedTicket& ticket);

// A PDF of one page per copy, as wide as the paper and as high as the ticket, drawn
// with the WenQuanYi Micro Hei font file (COOKHUB_REPORT_FONT names another file).
// Needs a QGuiApplication (QT_QPA_PLATFORM=offscreen serves a service without a
// screen); without one it returns empty bytes instead of crashing.
QByteArray renderPdf(const PreparedTicket& ticket);

// The first page of what renderPdf draws, as an image of `dotsPerMm` dots per
// millimetre (a preview of the PDF). Needs a QGuiApplication, like renderPdf; a null
// image without one or for an empty ticket.
QImage renderPdfPage(const PreparedTicket& ticket, double dotsPerMm);

// The font file renderPdf draws with, and its family once registered (empty when the
// file cannot be loaded or there is no QGuiApplication).
QString reportFontFile();
QString reportFontFamily();

}  // namespace cookhub::report
