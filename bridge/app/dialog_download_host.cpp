// The download conversations' way to the main dialog.
#include "app/dialog_download_host.h"

namespace padlink {

void DialogDownloadHost::attach(DownloadHost& window) {
    {
        const std::lock_guard lock(mutex_);
        window_ = &window;
    }
    attached_.notify_all();
}

void DialogDownloadHost::detach() {
    {
        const std::lock_guard lock(mutex_);
        window_ = nullptr;
        closed_ = true;
    }
    attached_.notify_all();
}

DownloadHost* DialogDownloadHost::window() {
    std::unique_lock lock(mutex_);
    attached_.wait(lock, [this] { return window_ != nullptr || closed_; });
    return window_;
}

void DialogDownloadHost::postDownloadProgress(std::string_view record) {
    if (DownloadHost* target = window()) {
        target->postDownloadProgress(record);
    }
}

void DialogDownloadHost::showMessage(const Notice& notice) {
    if (DownloadHost* target = window()) {
        target->showMessage(notice);
    }
}

void DialogDownloadHost::postDisplayLine(std::string_view text) {
    if (DownloadHost* target = window()) {
        target->postDisplayLine(text);
    }
}

}  // namespace padlink
