// The bridge's message boxes: modal, with only OK, on the user-interface
// thread. With PADLINK_AUTO_ANSWER=ok|cancel no box is shown: the line
// "message: <caption>: <text>" goes to standard error instead.
#pragma once

#include <QString>

class QWidget;

namespace padlink {

// The caption of boxes that name none.
inline const QString kDefaultCaption = QStringLiteral("Padlink");

// True for OK.
bool showMessageBox(QWidget* parent, const QString& caption, const QString& text);

// Ends every box still open (the program is ending); their callers return.
void closeOpenMessageBoxes();

}  // namespace padlink
