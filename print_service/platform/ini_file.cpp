#include "ini_file.h"

#include "app_paths.h"
#include "gbk_text.h"

#include <QFile>
#include <QSaveFile>

#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

// Larger files are not settings files; reading them would only cost memory.
constexpr qint64 kMaxIniBytes = 4 * 1024 * 1024;

std::vector<QByteArray> readLines(const QString& path, bool* ok)
{
    std::vector<QByteArray> lines;
    QFile file(path);
    *ok = false;
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxIniBytes)
        return lines;
    const QByteArray bytes = file.readAll();
    *ok = true;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QByteArray line = bytes.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::optional<QString> sectionName(const QString& line)
{
    const QString text = line.trimmed();
    if (!text.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = text.indexOf(u']');
    return (close < 0 ? text.mid(1) : text.mid(1, close - 1)).trimmed();
}

struct KeyLine {
    QString key;
    QString value;
};

std::optional<KeyLine> keyLine(const QString& line)
{
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith(u';'))
        return std::nullopt;
    const qsizetype eq = text.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    return KeyLine{text.left(eq).trimmed(), text.mid(eq + 1).trimmed()};
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString unquote(const QString& value)
{
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

}  // namespace

QString ReadIniString(const QString& file, const QString& section, const QString& key)
{
    if (file.isEmpty() || section.isEmpty() || key.isEmpty())
        return {};
    bool ok = false;
    const std::vector<QByteArray> lines = readLines(localPath(file), &ok);
    bool inSection = false;
    bool seenSection = false;
    for (const QByteArray& raw : lines) {
        const QString line = decodeGbk(raw);
        if (const auto name = sectionName(line)) {
            // Only the first section of a name counts, as on Windows.
            if (seenSection && inSection)
                return {};
            inSection = sameName(*name, section);
            seenSection = seenSection || inSection;
            continue;
        }
        if (!inSection)
            continue;
        if (const auto entry = keyLine(line); entry && sameName(entry->key, key))
            return unquote(entry->value);
    }
    return {};
}

namespace {

// Puts key=value into the section of `lines`, replacing the first entry of that key
// in the first section of that name, or appending the key (and the section).
void setValue(std::vector<QByteArray>& lines, const QString& section, const QString& key,
              const QString& value)
{
    const QByteArray newLine = encodeGbk(key + u'=' + value);
    std::optional<size_t> sectionLine;
    std::optional<size_t> lastEntry;
    for (size_t i = 0; i < lines.size(); ++i) {
        const QString line = decodeGbk(lines[i]);
        if (const auto name = sectionName(line)) {
            if (sectionLine)
                break;
            if (sameName(*name, section)) {
                sectionLine = i;
                lastEntry = i;
            }
            continue;
        }
        if (!sectionLine)
            continue;
        if (!line.trimmed().isEmpty())
            lastEntry = i;
        if (const auto entry = keyLine(line); entry && sameName(entry->key, key)) {
            lines[i] = newLine;
            return;
        }
    }
    if (sectionLine) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastEntry + 1), newLine);
    } else {
        lines.push_back(encodeGbk(u'[' + section + u']'));
        lines.push_back(newLine);
    }
}

bool writeValues(const QString& file, const QString& section, const IniValues& values,
                 bool ownerOnly)
{
    if (file.isEmpty() || section.isEmpty())
        return false;
    for (const auto& [key, value] : values) {
        if (key.isEmpty())
            return false;
    }
    const QString path = localPath(file);
    bool ok = false;
    std::vector<QByteArray> lines = readLines(path, &ok);
    if (!ok && QFile::exists(path))
        return false;  // unreadable: rewriting it would lose its other lines

    for (const auto& [key, value] : values)
        setValue(lines, section, key, value);

    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + "\r\n";
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    // Before the first byte: the new file never shows its content to anyone else.
    if (ownerOnly && !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    out.write(bytes);
    return out.commit();
}

}  // namespace

bool WriteIniValue(const QString& file, const QString& section, const QString& key,
                   const QString& value)
{
    if (key.isEmpty())
        return false;
    return writeValues(file, section, {{key, value}}, false);
}

bool WriteIniValues(const QString& file, const QString& section, const IniValues& values)
{
    return writeValues(file, section, values, true);
}

void WriteIniString(const QString& file, const QString& section, const QString& key,
                    const QString& value)
{
    // Failures are silent here by design; WriteIniValue reports them.
    (void)WriteIniValue(file, section, key, value);
}

}  // namespace cookhub
