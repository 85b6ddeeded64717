// The template designer without its window: the text being edited, its parse, the
// sample ticket prepared from the last template that parsed, and the save rules.
//
// A text that does not parse never replaces the preview (the last good one stays) and
// never replaces a good file on disk unless the caller insists.
#pragma once

#include "platform/report/report.h"

#include <QByteArray>
#include <QString>

namespace cookhub {

class TemplatePreview {
  public:
    explicit TemplatePreview(QString title = QStringLiteral("点菜单"));

    // Parses `text`; on success prepares the sample ticket and its ESC/POS bytes. True
    // when the text parsed. A failure leaves the last good preview in place.
    bool update(const QString& text);

    bool parsed() const { return parsed_; }
    const report::ParseError& error() const { return error_; }
    bool hasPreview() const { return hasPreview_; }
    const report::PreparedTicket& ticket() const { return ticket_; }
    const QByteArray& escPos() const { return escPos_; }
    const QString& title() const { return title_; }

  private:
    QString title_;
    report::Report report_;
    bool parsed_ = false;
    bool hasPreview_ = false;
    report::ParseError error_;
    report::PreparedTicket ticket_;
    QByteArray escPos_;
};

// A complete small ticket to start a new template from: title, table, dishes with
// their specification, remark and add-on price, operator and time.
QString starterTemplate();

// The editor's text as the file holds it (UTF-8, LF), and back (a BOM dropped).
QByteArray templateBytes(const QString& text);
QString templateText(const QByteArray& bytes);

struct TemplateLoad {
    enum class Outcome { Loaded, Missing, Unreadable };
    Outcome outcome = Outcome::Missing;
    QString text;
    bool utf8 = true;  // false: undecodable bytes show as U+FFFD and a save would lose them
    QString message;   // why it could not be read
};

// The text of a template file for editing. A file that cannot be read whole (no
// permission, a folder, larger than any template could be) is Unreadable, so the
// designer never saves a partial copy over it.
TemplateLoad loadTemplateText(const QString& path);

// True when `path` holds a template that parses: what a broken text must not replace
// without the user's word.
bool holdsGoodTemplate(const QString& path);

struct TemplateSave {
    enum class Outcome { Saved, WouldReplaceGood, Failed };
    Outcome outcome = Outcome::Failed;
    QString path;     // the local file written, or that would have been
    QString message;  // why it failed
};

// Writes `text` to `path` whole or not at all (a file beside it, renamed over the old
// one). A text that does not parse replaces a good template only with `insist`.
TemplateSave saveTemplate(const QString& path, const QString& text, bool insist);

}  // namespace cookhub
