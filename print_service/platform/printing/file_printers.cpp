// File printers for machines without CUPS (the demo, a laptop, the tests).
//
// Readers (people, the demo's checks) watch these folders while the service prints,
// so a file must never be seen half-written and a number must never be reused for a
// different ticket. This file must never overwrite or delete a published file.
#include "file_printers.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace cookhub::printing {

namespace {

// The next number to try per folder. Without it a deleted newest file would let its
// number be handed out again within one run.
QMutex numbersMutex;
QHash<QString, int> nextNumbers;

int highestNumber(const QDir& folder) {
    static const QRegularExpression numbered(u"^([0-9]+)\\.(pdf|txt)$"_s);
    int highest = 0;
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = numbered.match(name);
        bool ok = false;
        const int number = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
        if (ok && number > highest)
            highest = number;
    }
    return highest;
}

QString numberedPath(const QDir& folder, int number, QStringView extension) {
    return folder.filePath(u"%1.%2"_s.arg(number, 4, 10, QChar(u'0')).arg(extension));
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes the bytes under a hidden name in the folder, flushed to disk, ready to be
// linked into place. The temporary file removes itself when it goes out of scope.
bool writeHidden(QTemporaryFile& file, const QByteArray& bytes, QString* error) {
    if (!file.open()) {
        *error = u"cannot create a file in %1: %2"_s.arg(QFileInfo(file.fileTemplate()).path(),
                                                         file.errorString());
        return false;
    }
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (file.write(bytes) != bytes.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        *error = u"cannot write %1: %2"_s.arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

// link() fails with EEXIST instead of replacing: the number is claimed atomically even
// against another process printing to the same folder.
int linkNoReplace(const QString& from, const QString& to) {
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0
               ? 0
               : errno;
}

JobResult refused(const QString& printer, const QString& why) {
    return {false, 0, u"file printer \"%1\": %2"_s.arg(printer, why)};
}

}  // namespace

QString filePrinterNameProblem(const QString& printer) {
    if (printer.isEmpty())
        return u"the printer name is empty"_s;
    if (printer == u"."_s || printer == u".."_s)
        return u"\"%1\" cannot be a folder name"_s.arg(printer);
    if (printer.contains(u'/') || printer.contains(QChar(u'\0')))
        return u"a printer name cannot contain '/' or a zero character"_s;
    return {};
}

JobResult printToFilePrinter(const QString& root, const QString& printer,
                             const Document& document) {
    if (const QString problem = filePrinterNameProblem(printer); !problem.isEmpty())
        return refused(printer, problem);
    if (!document.pdf || !document.text)
        return refused(printer, u"the ticket has no PDF or no text rendering"_s);

    const QString folderPath = QDir(root).filePath(printer);
    if (!QDir().mkpath(folderPath) || !QFileInfo(folderPath).isDir())
        return refused(printer, u"cannot create the folder %1"_s.arg(folderPath));
    const QDir folder(folderPath);

    const QByteArray pdf = document.pdf();
    const QByteArray text = document.text().toUtf8();
    if (pdf.isEmpty())
        return refused(printer, u"the ticket's PDF is empty"_s);

    QString error;
    QTemporaryFile pdfFile(folder.filePath(u".print-XXXXXX.pdf.part"_s));
    QTemporaryFile textFile(folder.filePath(u".print-XXXXXX.txt.part"_s));
    if (!writeHidden(pdfFile, pdf, &error) || !writeHidden(textFile, text, &error))
        return refused(printer, error);

    const QString key = folder.absolutePath();
    QMutexLocker lock(&numbersMutex);
    int number = nextNumbers.value(key, 0);
    if (number == 0)
        number = highestNumber(folder) + 1;

    // Taken numbers (another writer, a leftover file) are skipped, never overwritten.
    for (int attempts = 0; attempts < 10000; ++attempts, ++number) {
        const QString pdfPath = numberedPath(folder, number, u"pdf");
        const QString textPath = numberedPath(folder, number, u"txt");
        if (QFileInfo::exists(textPath)) {
            number = std::max(number, highestNumber(folder));
            continue;
        }
        if (const int failure = linkNoReplace(pdfFile.fileName(), pdfPath)) {
            if (failure == EEXIST) {
                number = std::max(number, highestNumber(folder));
                continue;
            }
            return refused(printer, u"cannot publish %1: %2"_s.arg(pdfPath, systemError(failure)));
        }
        if (const int failure = linkNoReplace(textFile.fileName(), textPath)) {
            ::unlink(QFile::encodeName(pdfPath).constData());  // ours, published a moment ago
            if (failure == EEXIST)
                continue;
            return refused(printer, u"cannot publish %1: %2"_s.arg(textPath, systemError(failure)));
        }
        nextNumbers.insert(key, number + 1);
        return {true, number, {}};
    }
    return refused(printer, u"no free file number in %1"_s.arg(folderPath));
}

QStringList filePrinterNames(const QString& root) {
    return QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace cookhub::printing
