#include "message_box.h"

#include <QMessageBox>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

MessageBox::Handler& handler()
{
    static MessageBox::Handler instance;
    return instance;
}

}  // namespace

void MessageBox::setHandler(Handler h)
{
    handler() = std::move(h);
}

bool MessageBox::show(QWidget* parent, const MessageRequest& request)
{
    if (handler())
        return handler()(request);

    const QString automatic = qEnvironmentVariable("COOKHUB_AUTO_ANSWER").trimmed().toLower();
    if (automatic == u"ok"_s || automatic == u"cancel"_s) {
        const QByteArray line =
            (u"message: "_s + request.caption + u": "_s + request.text + u'\n').toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        return automatic == u"ok"_s;
    }

    QMessageBox box(parent);
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    switch (request.kind) {
    case MessageRequest::Kind::Question:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok;
    case MessageRequest::Kind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageRequest::Kind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return true;
}

bool MessageBox::question(QWidget* parent, const QString& caption, const QString& text)
{
    return show(parent, {MessageRequest::Kind::Question, caption, text});
}

void MessageBox::warning(QWidget* parent, const QString& caption, const QString& text)
{
    show(parent, {MessageRequest::Kind::Warning, caption, text});
}

void MessageBox::information(QWidget* parent, const QString& caption, const QString& text)
{
    show(parent, {MessageRequest::Kind::Information, caption, text});
}

}  // namespace cookhub
