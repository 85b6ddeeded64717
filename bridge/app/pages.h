// The pages of the main dialog: the traffic monitor, the download page (its
// start-up part: port box, handheld tree and list) and the about page, plus
// the about box. Pages show what they are given; they never read files or
// start threads themselves.
#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace padlink {

inline const QString kProgramVersionText = QStringLiteral("Padlink 1.0.41版");

class MonitorPage : public QWidget {
public:
    // The box is emptied before a line once it holds this many.
    static constexpr int kLineLimit = 200;

    // `toggle` flips the display of the selected station and returns whether
    // it is now on.
    MonitorPage(std::function<bool()> toggle, QWidget* parent = nullptr);

    // Lines are gathered and drawn together at most every 50 ms: drawing each one as
    // it comes cost the shown station milliseconds per poll.
    void appendLine(const QString& text);
    // What the box shows once the gathered lines are drawn.
    QString text();

    QPlainTextEdit* box() const { return box_; }
    QPushButton* displayButton() const { return button_; }

private:
    std::function<bool()> toggle_;
    QPlainTextEdit* box_;
    QPushButton* button_;
    QTimer* flushTimer_;
    QString pending_;
    bool clearFirst_ = false;
    int lines_ = 0;

    void flush();
};

class DownloadPage : public QWidget {
public:
    explicit DownloadPage(QWidget* parent = nullptr);

    void setPorts(const std::vector<std::string>& portNames);
    // The tree and list show the handhelds of the given port.
    void showHandhelds(const QString& portName, const std::vector<std::string>& addresses);
    void setPortChosen(std::function<void(int)> chosen) { portChosen_ = std::move(chosen); }

    QComboBox* portBox() const { return portBox_; }
    QTreeWidget* tree() const { return tree_; }
    QTreeWidget* list() const { return list_; }

private:
    QComboBox* portBox_;
    QTreeWidget* tree_;
    QTreeWidget* list_;
    std::function<void(int)> portChosen_;
};

class AboutPage : public QWidget {
public:
    explicit AboutPage(QWidget* parent = nullptr);
};

class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace padlink
