#include "tfmain.h"

#include "history/tfquery.h"
#include "icons.h"
#include "platform/message_box.h"
#include "platform/printing/printers.h"
#include "printer_choice.h"
#include "service/utility.h"
#include "settings/param_set.h"
#include "settings/report_set_window.h"
#include "settings/set_con.h"
#include "settings/set_con_startup.h"
#include "tray_balloon.h"

#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

const QString kCaption = u"后台打印设置"_s;
const QString kWarning = u"警告"_s;
const QString kPrompt = u"提示"_s;

// The 38-pixel strip that replaces the system title bar: dragging it moves the window.
class TitleStrip : public QWidget {
  public:
    explicit TitleStrip(QWidget* parent) : QWidget(parent) { setFixedHeight(38); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient gradient(0, 0, width(), 0);
        gradient.setColorAt(0, QColor(0x1f, 0x4e, 0x8c));
        gradient.setColorAt(1, QColor(0x2f, 0x74, 0xc0));
        p.fillRect(rect(), gradient);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && window()->windowHandle())
            window()->windowHandle()->startSystemMove();
    }
};

// GetSpecStrCount: occurrences of `sub` in `text`, each search one character after the
// start of the previous match.
int countOccurrences(const QString& sub, const QString& text) {
    int count = 0;
    for (qsizetype at = text.indexOf(sub); at >= 0; at = text.indexOf(sub, at + 1)) ++count;
    return count;
}

}  // namespace

TFMain::TFMain(ServiceState& state, Clock& clock, ServiceThreads& threads, QWidget* parent)
    : QWidget(parent), state_(state), clock_(clock) {
    buildWindow();
    FormCreate(threads);
}

// FormDestroy: the service closes the three connections.
TFMain::~TFMain() = default;

void TFMain::buildWindow() {
    setObjectName(u"FMain"_s);
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(812, 544);
    setWindowIcon(icons::tray(true));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xf3, 0xf6, 0xfa));
    setPalette(pal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* title = new TitleStrip(this);
    auto* titleLayout = new QHBoxLayout(title);
    titleLayout->setContentsMargins(12, 0, 6, 0);
    auto* titleIcon = new QLabel(title);
    titleIcon->setPixmap(icons::tray(true).pixmap(22, 22));
    auto* titleLabel = new QLabel(u"后台打印"_s, title);
    titleLabel->setStyleSheet(u"color: white; font-weight: bold; font-size: 15px;"_s);
    auto* closePicture = new QToolButton(title);
    closePicture->setObjectName(u"imgClose"_s);
    closePicture->setIcon(icons::close());
    closePicture->setIconSize(QSize(18, 18));
    closePicture->setAutoRaise(true);
    closePicture->setToolTip(u"隐藏"_s);
    closePicture->setStyleSheet(
        u"QToolButton { border: none; padding: 4px; } QToolButton:hover { background: #d9534f; }"_s);
    connect(closePicture, &QToolButton::clicked, this, &TFMain::btn6Click);
    titleLayout->addWidget(titleIcon);
    titleLayout->addWidget(titleLabel);
    titleLayout->addStretch();
    titleLayout->addWidget(closePicture);
    layout->addWidget(title);

    auto* toolBar = new QWidget(this);
    toolBar->setObjectName(u"ToolBar1"_s);
    toolBar->setStyleSheet(
        u"#ToolBar1 { background: white; border-bottom: 1px solid #d5dbe3; }"
        u"QToolButton { border: 1px solid transparent; border-radius: 6px; padding: 4px;"
        u" font-size: 13px; color: #1d2733; min-width: 76px; }"
        u"QToolButton:hover { background: #e8f0fb; border-color: #b9cfee; }"
        u"QToolButton:disabled { color: #9aa3ad; }"_s);
    auto* toolLayout = new QHBoxLayout(toolBar);
    toolLayout->setContentsMargins(8, 6, 8, 6);
    toolLayout->setSpacing(4);
    auto addTool = [&](QToolButton*& button, const char* name, const QString& caption,
                       icons::Tool glyph) {
        button = new QToolButton(toolBar);
        button->setObjectName(QLatin1String(name));
        button->setText(caption);
        button->setIcon(icons::tool(glyph));
        button->setIconSize(QSize(48, 48));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        toolLayout->addWidget(button);
    };
    addTool(btnEnd, "btnEnd", u"停止"_s, icons::Tool::Stop);
    addTool(btnBegin, "btnBegin", u"启动"_s, icons::Tool::Start);
    addTool(btn2, "btn2", u"格式设置"_s, icons::Tool::Format);
    addTool(btn_Test, "btn_Test", u"参数设置"_s, icons::Tool::Parameters);
    addTool(btn4, "btn4", u"查询详情"_s, icons::Tool::History);
    addTool(btn6, "btn6", u"隐藏"_s, icons::Tool::Hide);
    addTool(btn7, "btn7", u"连接设置"_s, icons::Tool::Connection);
    addTool(btn_Exit, "btn_Exit", u"退出"_s, icons::Tool::Exit);
    toolLayout->addStretch();
    layout->addWidget(toolBar);

    connect(btnEnd, &QToolButton::clicked, this, &TFMain::btnEndClick);
    connect(btnBegin, &QToolButton::clicked, this, &TFMain::btnBeginClick);
    connect(btn6, &QToolButton::clicked, this, &TFMain::btn6Click);
    connect(btn_Exit, &QToolButton::clicked, this, &TFMain::btn_ExitClick);
    connect(btn_Test, &QToolButton::clicked, this, &TFMain::btn_TestClick);
    connect(btn7, &QToolButton::clicked, this, &TFMain::btn7Click);
    connect(btn2, &QToolButton::clicked, this, &TFMain::btn2Click);
    connect(btn4, &QToolButton::clicked, this, &TFMain::btn4Click);

    auto* body = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(12, 10, 12, 10);
    auto* group = new QGroupBox(u"打印机状态"_s, body);
    group->setObjectName(u"grp1"_s);
    group->setStyleSheet(
        u"QGroupBox { font-size: 14px; font-weight: bold; color: #1f4e8c; border: 1px solid "
        u"#c8d3e0;"
        u" border-radius: 6px; margin-top: 12px; background: white; }"
        u"QGroupBox::title { subcontrol-origin: margin; left: 12px; padding: 0 4px; }"_s);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setContentsMargins(10, 18, 10, 10);
    panelBar_ = new QWidget(group);
    panelBar_->setObjectName(u"PrinterPanel"_s);
    auto* panelLayout = new QHBoxLayout(panelBar_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(6);
    for (size_t i = 0; i < panelButtons_.size(); ++i) {
        auto* button = new QToolButton(panelBar_);
        button->setObjectName(u"panelButton%1"_s.arg(i));
        button->setIconSize(QSize(48, 48));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setMinimumWidth(70);
        button->setAutoRaise(true);
        button->hide();
        connect(button, &QToolButton::clicked, this, [this, i] { btn36Click(int(i)); });
        panelLayout->addWidget(button);
        panelButtons_[i] = button;
    }
    panelLayout->addStretch();
    groupLayout->addWidget(panelBar_);
    groupLayout->addStretch();
    bodyLayout->addWidget(group);
    layout->addWidget(body, 1);

    auto* statusBar = new QWidget(this);
    statusBar->setObjectName(u"StatusBar1"_s);
    statusBar->setStyleSheet(
        u"#StatusBar1 { background: #e9eef5; border-top: 1px solid #d5dbe3; }"_s);
    auto* statusLayout = new QHBoxLayout(statusBar);
    statusLayout->setContentsMargins(10, 4, 10, 4);
    statusPanel_ = new QLabel(statusBar);
    statusPanel_->setObjectName(u"StatusPanel"_s);
    statusPanel_->setFixedWidth(300);
    QFont statusFont = statusPanel_->font();
    statusFont.setBold(true);
    statusFont.setPixelSize(24);
    statusPanel_->setFont(statusFont);
    statusPanel_->setStyleSheet(u"color: #1d2733;"_s);
    statusLayout->addWidget(statusPanel_);
    statusLayout->addStretch();
    for (bool fault : {false, true}) {
        auto* picture = new QLabel(statusBar);
        picture->setPixmap(icons::printerState(fault).pixmap(22, 22));
        auto* label = new QLabel(fault ? u"打印异常"_s : u"打印正常"_s, statusBar);
        statusLayout->addWidget(picture);
        statusLayout->addWidget(label);
        statusLayout->addSpacing(10);
    }
    layout->addWidget(statusBar);

    trayMenu_ = new QMenu(this);
    const std::pair<QString, void (TFMain::*)()> entries[] = {{u"显示"_s, &TFMain::showFromTray},
                                                              {u"隐藏"_s, &TFMain::btn6Click},
                                                              {u"启动"_s, &TFMain::btnBeginClick},
                                                              {u"停止"_s, &TFMain::btnEndClick},
                                                              {u"退出"_s, &TFMain::btn_ExitClick}};
    int n = 1;
    for (const auto& [text, slot] : entries) {
        QAction* action = trayMenu_->addAction(text);
        action->setObjectName(u"N%1"_s.arg(n++));
        connect(action, &QAction::triggered, this, slot);
    }

    tray_ = new QSystemTrayIcon(this);
    connect(tray_, &QSystemTrayIcon::activated, this, &TFMain::trayActivated);
    balloon_ = std::make_unique<TrayBalloon>(tray_);
    choosePrinter_ = &choosePrinter;

    tmr1 = new QTimer(this);
    tmr1->setInterval(3000);
    connect(tmr1, &QTimer::timeout, this, &TFMain::tmr1Timer);
}

void TFMain::FormCreate(ServiceThreads& threads) {
    // A new service counts as running: the buttons and the tray show it so.
    service_ = std::make_unique<CookhubService>(state_, clock_, threads);
    connect(service_.get(), &CookhubService::changed, this, &TFMain::showService);
    showService();
    tray_->show();

    emptyPanel();
    panelBar_->hide();
    try {
        if (!service_->connect()) {
            MessageBox::warning(this, kWarning, u"连接不上数据库！请关闭软件并重启软件后再启动"_s);
            if (service_->isRunning())
                btnEndClick();
            openConnectionAfterFailure();
        }
    } catch (const std::exception&) {
        // Errors of the start-up steps are swallowed; the service then shows stopped.
    }
    tmr1->start();
}

void TFMain::showService() {
    const bool running = service_->isRunning();
    btnBegin->setEnabled(!running);
    btnEnd->setEnabled(running);
    tray_->setIcon(icons::tray(running));
    tray_->setToolTip(kCaption);
}

QString TFMain::statusPanelText() const {
    return statusPanel_->text();
}

void TFMain::emptyPanel() {
    for (QToolButton* button : panelButtons_) {
        button->setText(QString());
        button->hide();
    }
}

void TFMain::btnBeginClick() {
    emptyPanel();
    if (service_->start() == CookhubService::StartOutcome::NoConnection && isVisible())
        MessageBox::warning(this, kWarning, u"连接不上数据库！"_s);
}

void TFMain::btnEndClick() {
    service_->stop();
}

void TFMain::btn_ExitClick() {
    if (!MessageBox::question(this, kPrompt,
                              u"退出厨打监控会导致前台的点菜单不能打印，确定退出吗？"_s))
        return;
    tray_->hide();
    service_->exit();
    Q_EMIT exitRequested();
}

void TFMain::btn6Click() {
    hide();
}

bool TFMain::stopForSettings(bool ask) {
    if (!service_->isRunning())
        return true;
    if (ask &&
        !MessageBox::question(this, kPrompt,
                              u"厨打已经启动，必须停止服务后才能进行设置，确定停止服务设置吗？"_s))
        return false;
    btnEndClick();
    return true;
}

void TFMain::btn_TestClick() {
    if (!stopForSettings(true))
        return;
    TFParamSet window(state_.appDir, this);
    window.exec();
}

void TFMain::btn4Click() {
    TFQuery window(QSqlDatabase::database(kWindowConnection, false), state_.appDir, this);
    history_ = &window;
    window.setWindowState(Qt::WindowMaximized);
    window.exec();
}

void TFMain::btn7Click() {
    stopForSettings(false);
    const DatabaseLink link{[this](const QString& text) { return service_->connect(text); },
                            [] { return CookhubService::isConnected(); }};
    TFSetCon dialog(state_.appDir + state_.connectionIni, link, this);
    dialog.exec();
}

// Start-up without a database: the connection dialog for a person; without one, the
// stored connection is tried again until it works, then the service starts.
void TFMain::openConnectionAfterFailure() {
    if (operatorAtHand()) {
        btn7Click();
        return;
    }
    const auto attempt = [this] { return CookhubService::isConnected() || service_->connect(); };
    const auto connected = [this] {
        FormShow();
        if (!isServiceRunning())
            btnBeginClick();
    };
    const auto note = [this](const QString& text) {
        service_->setStatusText(text);
        statusPanel_->setText(text);
    };
    auto* retry = new ConnectionRetry(attempt, connected, note, this);
    retry->start();
}

void TFMain::btn2Click() {
    if (!stopForSettings(true))
        return;
    TFReportSet window(state_.appDir, state_.connectionIni, this);
    window.appendTemplateNames(state_.reportsDir);
    window.setFormatFolders(formatFolderNames(state_.appDir));
    window.exec();
}

void TFMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFMain::FormShow() {
    if (!CookhubService::isConnected())
        return;
    try {
        UpdateSql(false);
        GetPrintInfo();
    } catch (const std::exception& error) {
        MessageBox::warning(this, kWarning, QString::fromStdString(error.what()));
    }
}

void TFMain::UpdateSql(bool force) {
    service_->updateSchema(force);
}

void TFMain::GetPrintInfo() {
    service_->countDay();
    const CookhubService::Snapshot now = service_->snapshot();
    statusPanel_->setText(countsText(now.printed, now.unprinted));
}

void TFMain::tmr1Timer() {
    try {
        statusPanel_->setText(state_.statusText());
        panelBar_->show();
        // The monitor keeps each printer's address in the list: no database work here.
        const std::vector<TPrintList> entries = state_.printList.snapshot();
        for (size_t i = 0; i < entries.size() && i < panelButtons_.size(); ++i) {
            const TPrintList& entry = entries[i];
            QToolButton* button = panelButtons_[i];
            button->setVisible(countOccurrences(u"."_s, entry.Address) >= 3);
            button->setIcon(icons::printerState(entry.Fault == 1));
            button->setToolTip(entry.Condition.isEmpty()
                                   ? entry.PrinterName
                                   : entry.PrinterName + u"："_s + entry.Condition);
            button->setProperty("printerName", entry.PrinterName);
            button->setText(entry.BackupName.isEmpty() ? entry.PrinterName
                                                       : u'(' + entry.BackupName + u')');
            button->setEnabled(true);
        }
    } catch (const std::exception&) {
        // A failed refresh waits for the next tick.
    }

    // The watchdog's Start empties the panel as the button's does.
    if (service_->watchdogDue())
        btnBeginClick();
}

void TFMain::btn36Click(int index) {
    if (index < 0 || size_t(index) >= panelButtons_.size())
        return;
    if (!MessageBox::question(this, kPrompt,
                              u"启用备用打印机将会使原打印机停止打印，确定启用备用打印机吗？"_s))
        return;
    const QStringList printers = printing::printerChoices();
    const int chosen = choosePrinter_ ? choosePrinter_(this, printers) : -1;
    if (chosen < 0 || chosen >= printers.size())
        return;
    // The name the button was painted for; the hint may carry the paper state too.
    QToolButton* button = panelButtons_[size_t(index)];
    const QString station = button->property("printerName").toString();
    if (!state_.printList.setBackup(size_t(index), station, printers[chosen], chosen))
        return;
    button->setText(u'(' + printers[chosen] + u')');
}

BalloonNotes& TFMain::balloon() {
    return *balloon_;
}

void TFMain::showFromTray() {
    show();
    raise();
    activateWindow();
    // An open history window stays in front of the main window. Raised rather than
    // hidden and shown: hiding a modal window would end it.
    if (history_) {
        history_->raise();
        history_->activateWindow();
    }
}

void TFMain::trayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger) {
        showFromTray();
    } else if (reason == QSystemTrayIcon::Context) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int bottom = screen ? screen->geometry().height() - 10 : QCursor::pos().y();
        trayMenu_->adjustSize();
        trayMenu_->exec(QPoint(QCursor::pos().x(), bottom - trayMenu_->height()));
    }
}

}  // namespace cookhub
