// GBK bytes of files and frames to Unicode for the screen, and back for
// texts the window hands to the byte-level core. Only the window layer
// converts; the cores keep bytes.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace padlink {

QString fromGbk(std::string_view bytes);
std::string toGbk(const QString& text);

}  // namespace padlink
