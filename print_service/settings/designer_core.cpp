#include "designer_core.h"

#include "platform/report/renderers.h"
#include "sample_ticket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace cookhub {

TemplatePreview::TemplatePreview(QString title) : title_(std::move(title)) {
    fillSampleTicket(&report_, title_);
}

bool TemplatePreview::update(const QString& text) {
    report::ParseError error;
    auto parsed = report::parseTemplate(templateBytes(text), title_, &error);
    parsed_ = parsed.has_value();
    if (!parsed_) {
        error_ = error;
        return false;
    }
    error_ = report::ParseError();
    report_.setTemplate(std::move(*parsed));
    ticket_ = report_.prepare();
    escPos_ = report::renderEscPos(ticket_);
    hasPreview_ = true;
    return true;
}

QByteArray templateBytes(const QString& text) {
    return text.toUtf8();
}

QString templateText(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    text.replace(u"\r\n"_s, u"\n"_s);
    return text;
}

bool holdsGoodTemplate(const QString& path) {
    return QFileInfo(path).isFile() && report::loadTemplateFile(path, nullptr).has_value();
}

TemplateSave saveTemplate(const QString& path, const QString& text, bool insist) {
    TemplateSave result;
    result.path = path;
    const QByteArray bytes = templateBytes(text);
    if (!insist && !report::parseTemplate(bytes, path, nullptr) && holdsGoodTemplate(path)) {
        result.outcome = TemplateSave::Outcome::WouldReplaceGood;
        return result;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.message = file.errorString();
        return result;
    }
    if (file.write(bytes) != bytes.size()) {
        result.message = file.errorString();
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.message = file.errorString();
        return result;
    }
    result.outcome = TemplateSave::Outcome::Saved;
    return result;
}

}  // namespace cookhub
