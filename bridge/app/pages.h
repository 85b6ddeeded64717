// The pages of the main dialog: the traffic monitor, the download page (port
// box, handheld tree with the download marks, table boxes, list with each
// handheld's progress, the "下载" button) and the about page, plus the about
// box. Pages show what they are given and write only the flags they are
// handed; they never read files or start threads themselves.
#pragma once

#include "download/download_flags.h"
#include "link/handheld_table.h"

#include <array>
#include <atomic>
#include <string_view>

#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

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
    // The page writes the manual choice and downloadMode at "下载" and the
    // marks of the shown station's handhelds as the tree is ticked.
    DownloadPage(std::atomic<int>& downloadMode, ManualChoice choice, QWidget* parent = nullptr);

    void setPorts(const std::vector<std::string>& portNames);
    // The tree and list show the handhelds of the given port; `row` is that
    // station's row of the handheld table, whose marks the tree sets.
    void showHandhelds(const QString& portName, const std::vector<std::string>& addresses,
                       HandheldRow* row = nullptr);
    void setPortChosen(std::function<void(int)> chosen) { portChosen_ = std::move(chosen); }

    // A progress record "label,text" (GBK) from a download conversation.
    void showProgress(std::string_view record);
    // The button, whatever its caption says.
    void pressDownload();

    bool downloading() const { return downloading_; }
    int checkedHandhelds() const { return checkedHandhelds_; }

    QComboBox* portBox() const { return portBox_; }
    QTreeWidget* tree() const { return tree_; }
    QTreeWidget* list() const { return list_; }
    QPushButton* downloadButton() const { return button_; }
    // The box of table 1..13.
    QCheckBox* tableBox(int number) const;

private:
    void treeItemChanged(QTreeWidgetItem* item);
    HandheldEntry* entryFor(const QString& address) const;
    void setMark(HandheldEntry* entry, bool marked);
    void setControlsEnabled(bool enabled);
    void setRowStates(const QString& marked);

    std::atomic<int>& downloadMode_;
    ManualChoice choice_;
    HandheldRow* row_ = nullptr;
    QComboBox* portBox_;
    QTreeWidget* tree_;
    QTreeWidget* list_;
    QPushButton* button_;
    std::array<QCheckBox*, kTableCount> tableBoxes_{};
    std::function<void(int)> portChosen_;
    int checkedHandhelds_ = 0;
    bool downloading_ = false;
    bool filling_ = false;
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
