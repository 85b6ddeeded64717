// The main dialog.
#include "app/main_dialog.h"

#include "app/gbk_text.h"
#include "app/line_watch.h"
#include "app/message_box.h"
#include "app/pages.h"
#include "app/ui_invoker.h"
#include "config/bridge_config.h"
#include "logs/program_log.h"
#include "logs/station_display.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace padlink {

namespace {

constexpr int kLineWatchPeriodMs = 10 * 1000;
constexpr int kScreenshotPeriodMs = 2000;
// How long a notice's sender waits for the window to have handled it.
constexpr std::chrono::milliseconds kNoticeWaitLimit{1000};
// How long the end waits for the poll threads; every pause and conversation
// sees the stop flag well within it.
constexpr std::chrono::milliseconds kPollThreadEndLimit{3000};

QIcon programIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(0x1f, 0x4e, 0x8c));
    QPainter painter(&pixmap);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("P"));
    return QIcon(pixmap);
}

QString captionOf(const Message& message) {
    return message.caption.empty() ? kDefaultCaption : fromGbk(message.caption);
}

}  // namespace

// The poll threads still running, so the end can wait for them with a bound.
struct MainDialog::Running {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
};

// How the poll threads reach this dialog: every call waits until the
// user-interface thread has taken it, as SendMessage did.
class MainDialog::WindowHost final : public PollHost, public DownloadHost {
public:
    explicit WindowHost(MainDialog& dialog) : dialog_(dialog) {}

    void postDisplayLine(std::string_view text) override {
        dialog_.invoker_->invoke([&] {
            if (dialog_.monitor_ != nullptr) {
                dialog_.monitor_->appendLine(
                    QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
            }
        });
    }
    void showMessage(std::string_view text) override {
        dialog_.invoker_->invoke(
            [&] { showMessageBox(&dialog_, kDefaultCaption, fromGbk(text)); });
    }
    void showMessage(const Notice& notice) override {
        dialog_.invoker_->invoke([&] {
            showMessageBox(&dialog_, notice.caption.empty() ? kDefaultCaption : fromGbk(notice.caption),
                           fromGbk(notice.text));
        });
    }
    void postDownloadProgress(std::string_view record) override {
        dialog_.invoker_->invoke([&] {
            if (dialog_.download_ != nullptr) {
                dialog_.download_->showProgress(record);
            }
        });
    }

private:
    MainDialog& dialog_;
};

MainDialog::MainDialog(BridgeSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)), invoker_(new UiInvoker(this)) {
    setWindowTitle(QStringLiteral("Padlink"));
    setWindowIcon(programIcon());
    host_ = std::make_unique<WindowHost>(*this);

    // The window exists before its pages, so notices can reach it from here on.
    server_ = std::make_unique<WindowServer>(setup_.ownTitle, [this](const WindowMessage& message) {
        receiveNotice(message);
        return 0u;
    });

    tabs_ = new QTabWidget(this);
    monitor_ = new MonitorPage(
        [this] { return toggleStationDisplay(setup_.state.stationDisplay, selectedStation_); });
    tabs_->addTab(monitor_, QStringLiteral("系统监控"));
    download_ = new DownloadPage(setup_.state.downloadMode, setup_.choice);
    download_->setPortChosen([this](int index) { choosePort(index); });
    tabs_->addTab(download_, QStringLiteral("下载"));
    setUpStations();
    about_ = new AboutPage;
    tabs_->addTab(about_, QStringLiteral("关于"));
    tabs_->setCurrentIndex(0);

    auto* quit = new QPushButton(QStringLiteral("退出"), this);
    quit->setAutoDefault(false);
    connect(quit, &QPushButton::clicked, this, [this] { hideToTray(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(quit);
    layout->addLayout(buttons);
    resize(640, 480);

    // There is no system menu to extend here; the about box hangs off the
    // dialog's context menu instead.
    auto* aboutAction = new QAction(QStringLiteral("关于 Padlink(&A)..."), this);
    connect(aboutAction, &QAction::triggered, this, [this] { AboutDialog(this).exec(); });
    addAction(aboutAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    notices_ = std::make_unique<BackgroundNotices>(
        [window = setup_.notifyWindow](std::uint32_t dwData, const std::string& text) {
            if (window) {
                sendCopyData(*window, dwData, text);
            }
        });
    lineWatch_ = std::make_unique<LineWatch>(
        setup_.lineQuery ? setup_.lineQuery : LineWatch::DsrQuery(LineWatch::lastPortDsr),
        [this](std::uint32_t dwData, std::string_view text) { notices_->post(dwData, text); });
    if (findWindow(setup_.ownTitle)) {
        lineTimer_ = new QTimer(this);
        connect(lineTimer_, &QTimer::timeout, this, [this] { watchLine(); });
        lineTimer_->start(kLineWatchPeriodMs);
    } else {
        showMessageBox(this, kDefaultCaption, QStringLiteral("Padlink 窗口不存在，无法打开timer！"));
    }

    if (const char* shot = std::getenv("PADLINK_SCREENSHOT"); shot != nullptr && *shot != '\0') {
        const std::string target(shot);
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, target] {
            const std::string partial = target + ".part";
            if (grab().save(QString::fromStdString(partial), "PNG")) {
                std::rename(partial.c_str(), target.c_str());
            }
        });
        timer->start(kScreenshotPeriodMs);
    }
}

MainDialog::~MainDialog() { shutDown(); }

DownloadHost& MainDialog::downloadHost() { return *host_; }

void MainDialog::setUpStations() {
    const std::filesystem::path folder = txtFolder(setup_.workFolder);
    const TimingResult timing = loadTiming(folder);
    for (const Message& message : timing.messages) {
        showMessageBox(this, captionOf(message), fromGbk(message.text));
    }
    trafficLogEnabled.store(timing.timing.trafficLogEnabled);
    orderVersion.store(timing.timing.orderVersion);

    const StationsResult stations = loadStations(folder);
    download_->setPorts(stations.portNames);
    if (stations.result <= 0) {
        const Message message = stations.message.value_or(Message{});
        showMessageBox(this, captionOf(message), fromGbk(message.text));
        return;
    }
    stationCount_ = std::min(stations.result, static_cast<int>(kMaxStations));
    const auto counts = buildHandheldTable(stations.stations, stationCount_, setup_.state.table);
    for (int k = 0; k < stationCount_; ++k) {
        const StationConfig& station = stations.stations[static_cast<std::size_t>(k)];
        const auto& all = station.handheldAddresses;
        const std::size_t shown = std::min<std::size_t>(counts[static_cast<std::size_t>(k)], all.size());
        stationHandhelds_.emplace_back(station.portName,
                                       std::vector<std::string>(all.begin(), all.begin() + static_cast<long>(shown)));
    }
    download_->portBox()->setCurrentIndex(0);
    choosePort(0);

    services_ = std::make_unique<PollServices>(
        PollServices{setup_.state, host_.get(), setup_.requests, setup_.downloads, {}});
    services_->afterPurge = setup_.afterPurge;
    if (timing.timing.trafficLogEnabled) {
        services_->traffic = [](std::string_view text) { appendTrafficLog(text); };
    }
    // From the poll thread, as its requests' notices go: the window's thread
    // never waits for the front end.
    services_->notifyFrontEnd = [window = setup_.notifyWindow](std::uint32_t stationId,
                                                               std::string_view text) {
        if (window) {
            sendCopyData(*window, stationId, text);
        }
    };
    running_ = std::make_shared<Running>();
    for (int k = 0; k < stationCount_; ++k) {
        auto params = std::make_unique<PollThreadParams>(
            pollThreadParams(stations.stations[static_cast<std::size_t>(k)], k,
                             counts[static_cast<std::size_t>(k)], timing.timing, folder));
        {
            const std::lock_guard lock(running_->mutex);
            ++running_->count;
        }
        threads_.emplace_back(
            [services = services_.get(), running = running_, p = std::move(params)]() mutable {
                runPollThread(std::move(p), *services);
                const std::lock_guard lock(running->mutex);
                --running->count;
                running->changed.notify_all();
            });
    }
}

void MainDialog::choosePort(int index) {
    if (index < 0 || index >= static_cast<int>(stationHandhelds_.size())) {
        return;
    }
    selectedStation_ = index;
    for (std::size_t k = 0; k < kMaxStations; ++k) {
        setup_.state.stationSelected[k].store(static_cast<int>(k) == index ? 1 : 0);
    }
    chooseDisplayedStation(setup_.state.stationDisplay, index);
    const auto& [port, addresses] = stationHandhelds_[static_cast<std::size_t>(index)];
    download_->showHandhelds(fromGbk(port), addresses,
                             &setup_.state.table.rows[static_cast<std::size_t>(index)]);
}

void MainDialog::handleNotice(const WindowMessage& message) {
    if (message.message != kCopyDataMessage) {
        return;
    }
    if (message.text() == "TC") {
        setup_.state.stopRequested.store(1);
        // A poll thread's box must not keep the program alive, nor may a
        // thread wait for the window from here on.
        closeOpenMessageBoxes();
        invoker_->shutDown();
        reject();
    } else if (message.text() == "XS") {
        show();
        raise();
        activateWindow();
    }
}

void MainDialog::receiveNotice(const WindowMessage& message) {
    if (message.message == kCopyDataMessage && message.text() == "TC") {
        setup_.state.stopRequested.store(1);
    }
    invoker_->invokeWithin([this, message] { handleNotice(message); }, kNoticeWaitLimit);
}

void MainDialog::hideToTray() {
    hide();
    if (tray_ == nullptr) {
        tray_ = new QSystemTrayIcon(windowIcon(), this);
        tray_->setToolTip(QStringLiteral("Padlink"));
        auto* menu = new QMenu(this);
        menu->addAction(QStringLiteral("关闭"), this, [this] { reject(); });
        tray_->setContextMenu(menu);
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick) {
                        show();
                    }
                });
    }
    tray_->show();
}

void MainDialog::watchLine() { lineWatch_->tick(); }

void MainDialog::done(int result) {
    QDialog::done(result);
    ended_ = true;
    QCoreApplication::quit();
}

bool MainDialog::shutDown() {
    if (shutDown_) {
        return allEnded_;
    }
    shutDown_ = true;
    setup_.state.stopRequested.store(1);
    closeOpenMessageBoxes();
    invoker_->shutDown();
    if (running_) {
        std::unique_lock lock(running_->mutex);
        allEnded_ = running_->changed.wait_for(lock, kPollThreadEndLimit,
                                               [this] { return running_->count == 0; });
    }
    for (std::thread& thread : threads_) {
        if (allEnded_) {
            thread.join();
        } else {
            thread.detach();
        }
    }
    threads_.clear();
    server_.reset();
    return allEnded_;
}

}  // namespace padlink
