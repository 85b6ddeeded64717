#include "autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace cookhub {

QString autostartEntryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // The base directory specification: a relative value is invalid and ignored.
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + u"/.config"_s;
    return config + u"/autostart/sPrint.desktop"_s;
}

QString desktopExecArgument(const QString& program) {
    static const QString reserved = u" \t\n\"'\\><~|&;$*?#()`"_s;
    bool quote = program.isEmpty();
    for (QChar c : program) quote = quote || reserved.contains(c);

    QString argument;
    for (QChar c : program) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            argument += u'\\';
        argument += c;
        if (c == u'%')
            argument += u'%';  // a lone % would start a field code
    }
    if (quote)
        argument = u'"' + argument + u'"';

    // The Exec value is a string value first: its own escapes come on top.
    QString value;
    for (QChar c : argument) {
        if (c == u'\\')
            value += u"\\\\"_s;
        else if (c == u'\n')
            value += u"\\n"_s;
        else if (c == u'\t')
            value += u"\\t"_s;
        else if (c == u'\r')
            value += u"\\r"_s;
        else
            value += c;
    }
    return value;
}

bool writeAutostartEntry(const QString& program) {
    const QString path = autostartEntryPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QString entry =
        u"[Desktop Entry]\n"
        u"Type=Application\n"
        u"Name=sPrint\n"
        u"Exec="_s +
        desktopExecArgument(program) +
        u"\n"
        u"X-GNOME-Autostart-enabled=true\n"_s;
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(entry.toUtf8());
    return out.commit();
}

bool removeAutostartEntry() {
    const QString path = autostartEntryPath();
    return !QFile::exists(path) || QFile::remove(path);
}

}  // namespace cookhub
