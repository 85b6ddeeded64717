// GBK conversion through iconv, which glibc always carries.
#include "app/gbk_text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace padlink {

namespace {

std::string convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(in);
    }
    std::string out;
    std::vector<char> chunk(in.size() * 4 + 16);
    std::string source(in);
    char* inPtr = source.data();
    std::size_t inLeft = source.size();
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), chunk.size() - outLeft);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A byte that is no GBK shows as a replacement mark; the rest goes on.
            out += (std::string_view(to) == "UTF-8") ? "\xef\xbf\xbd" : "?";
            ++inPtr;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

QString fromGbk(std::string_view bytes) {
    return QString::fromStdString(convert("UTF-8", "GBK", bytes));
}

std::string toGbk(const QString& text) {
    return convert("GBK", "UTF-8", text.toStdString());
}

}  // namespace padlink
