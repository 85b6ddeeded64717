// The three ways a prepared ticket leaves the report engine. Each renders every copy
// of the ticket; an empty ticket ("prepares no page") renders as empty bytes.
#pragma once

#include "report.h"

#include <QByteArray>

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

// The font file renderPdf draws with.
QString reportFontFile();

}  // namespace cookhub::report
