// The pictures of the main window and the tray, drawn in code so that the program
// carries no image files.
#pragma once

#include <QIcon>

namespace cookhub::icons {

enum class Tool { Stop, Start, Format, Parameters, History, Hide, Connection, Exit };

QIcon tool(Tool kind);
QIcon tray(bool running);
QIcon printerState(bool fault);
QIcon close();

}  // namespace cookhub::icons
