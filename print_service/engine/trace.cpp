#include "trace.h"

#include "platform/app_paths.h"
#include "platform/gbk_text.h"

#include <QFile>
#include <QLocale>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace cookhub {

void WriteTrace(const QString& appDir, const Clock& clock, const QString& text)
{
    QFile file(localPath(appDir + u"CookhubTrace.txt"_s));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw std::runtime_error("cannot open the trace file: " + file.errorString().toStdString());
    const QByteArray line =
        encodeGbk(formatDateTime(clock.now()) + u"      "_s + text) + QByteArrayLiteral("\r\n");
    if (file.write(line) != line.size() || !file.flush())
        throw std::runtime_error("cannot write the trace file: " + file.errorString().toStdString());
}

QString traceNumber(double value)
{
    return QString::number(value, 'g', 15);
}

QString traceTime(const QDateTime& time)
{
    if (!time.isValid())
        return {};
    return QLocale::system().toString(time.date(), QLocale::ShortFormat) + u' ' +
           time.time().toString(u"hh:mm:ss"_s);
}

}  // namespace cookhub
