#include "app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

bool hasDriveLetter(const QString& text)
{
    return text.size() >= 2 && text[1] == u':' && text[0].isLetter();
}

// The entry of `folder` that equals `name` without regard to case; `name` itself when
// there is an exact match or none at all.
QString matchEntry(const QString& folder, const QString& name)
{
    const QString dir = folder.isEmpty() ? u"."_s : folder;
    if (QFileInfo::exists(dir + u'/' + name))
        return name;
    const QStringList entries =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return name;
}

}  // namespace

QString applicationFolder()
{
    QString folder = qEnvironmentVariable("COOKHUB_HOME");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath();
    folder = QDir(folder).absolutePath();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

bool isAbsoluteStoredPath(const QString& stored)
{
    // "\Reports\x.rmf" has no drive: Windows took it on the program's drive, and the
    // settings mean it below the program folder.
    return stored.contains(u':') || stored.startsWith(u'/');
}

QString localPath(const QString& stored)
{
    if (hasDriveLetter(stored))
        return stored;
    QString path = stored;
    path.replace(u'\\', u'/');
    const bool absolute = path.startsWith(u'/');
    const QStringList parts = path.split(u'/', Qt::SkipEmptyParts);

    QString result = absolute ? u"/"_s : QString();
    bool stillOnDisk = true;
    for (const QString& part : parts) {
        QString name = part;
        if (stillOnDisk && part != u"."_s && part != u".."_s) {
            name = matchEntry(result, part);
            stillOnDisk = QFileInfo::exists((result.isEmpty() ? u"."_s : result) + u'/' + name);
        }
        if (!result.isEmpty() && !result.endsWith(u'/'))
            result += u'/';
        result += name;
    }
    if (path.endsWith(u'/') && !result.endsWith(u'/'))
        result += u'/';
    return result;
}

QString resolveStoredPath(const QString& appDir, const QString& stored)
{
    if (isAbsoluteStoredPath(stored))
        return localPath(stored);
    return localPath(appDir + stored);
}

}  // namespace cookhub
