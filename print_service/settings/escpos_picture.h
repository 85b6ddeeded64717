// What a thermal printer makes of ESC/POS bytes, as a picture: the interpretation of
// the commands the report engine sends (initialise, Chinese mode, buzzer, alignment,
// character size, emphasis, line feed, feed, cut) into paper lines, and a drawing of
// that paper on the printer's grid of cells.
//
// It reads the bytes as a printer would, not the ticket they came from, so the picture
// shows what really reaches the paper. Any bytes give a result; unknown commands are
// counted and skipped, never followed off the end.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace cookhub {

struct PaperSegment {
    QString text;
    int widthScale = 1;   // GS ! : 1 to 8
    int heightScale = 1;  // GS ! : 1 to 8
    bool bold = false;
};

struct PaperLine {
    enum class Kind { Text, Feed, Cut };
    Kind kind = Kind::Text;
    QList<PaperSegment> segments;  // Text
    int align = 0;                 // Text: 0 left, 1 centre, 2 right
    int feedLines = 0;             // Feed
    bool fullCut = false;          // Cut
};

struct PaperRoll {
    QList<PaperLine> lines;
    int beeps = 0;            // ESC B
    int unknownCommands = 0;  // escapes this interpreter does not know

    // Cells one text line takes across the paper (double-byte characters take two).
    static int cells(const PaperSegment& segment);
};

PaperRoll interpretEscPos(const QByteArray& bytes);

// The roll on thermal paper of `paperMm` (80 or 58) at the printer's 8 dots per mm,
// `columns` cells of normal text across the printable width, with a ruler of the
// columns above it. Needs a QGuiApplication for its font.
QImage drawPaperRoll(const PaperRoll& roll, int paperMm, int columns);

}  // namespace cookhub
