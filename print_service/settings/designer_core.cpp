#include "designer_core.h"

#include "platform/report/renderers.h"
#include "sample_ticket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

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

QString starterTemplate() {
    return uR"(# 新的打印格式
[report]
paper = 80
cut = partial
feed = 4

[header]
text big bold center | {标题}
text center | {厨打名称}
rule | =
text big bold | 桌号 {桌号}
text bold | 单号 {单号}
rule | -

[detail]
cols tall bold | *: {DishName} | 10>: {Nums:qty}{DishUnit}
text if=ch_dish_barcode |   规格: {ch_dish_barcode}
text bold if=vch_print_memo |   备注: {vch_print_memo}
text if=num_AddPrice |   加价: {num_AddPrice:money}
text if=vch_reason |   原因: {vch_reason}

[footer]
rule | -
text | 操作员 {操作员}
text | 开单时间 {开单时间}
)"_s;
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

TemplateLoad loadTemplateText(const QString& path) {
    TemplateLoad result;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return result;
    result.outcome = TemplateLoad::Outcome::Unreadable;
    // Far above what the engine accepts, so a too-large template still opens to be cut down.
    constexpr qint64 kMostBytes = 16 * report::kMaxTemplateBytes;
    if (!info.isFile()) {
        result.message = u"不是文件"_s;
        return result;
    }
    if (info.size() > kMostBytes) {
        result.message = u"文件太大（%1 字节）"_s.arg(info.size());
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.message = file.errorString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.message = file.errorString();
        return result;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder(bytes);  // the decoder only runs when its result is taken
    result.utf8 = !decoder.hasError();
    result.text = templateText(bytes);
    result.outcome = TemplateLoad::Outcome::Loaded;
    return result;
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
