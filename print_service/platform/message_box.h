// Modal message boxes, with an answer that can be given without a person.
//
// With COOKHUB_AUTO_ANSWER=ok (or cancel) no box is shown: the caption and text go to
// standard error as "message: <caption>: <text>" and the box returns that answer, for
// kiosks, headless runs and black-box tests. A widget test can instead install a
// handler that sees each box and answers it before it would open.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace cookhub {

struct MessageRequest {
    enum class Kind { Question, Warning, Information };
    Kind kind;
    QString caption;
    QString text;
};

class MessageBox {
public:
    // OK and Cancel with a warning icon; true for OK.
    static bool question(QWidget* parent, const QString& caption, const QString& text);
    static void warning(QWidget* parent, const QString& caption, const QString& text);
    static void information(QWidget* parent, const QString& caption, const QString& text);

    // Test seam: every box goes to `handler` instead of the screen; its result is the
    // answer to a question. An empty handler restores the normal boxes.
    using Handler = std::function<bool(const MessageRequest&)>;
    static void setHandler(Handler handler);

private:
    static bool show(QWidget* parent, const MessageRequest& request);
};

}  // namespace cookhub
