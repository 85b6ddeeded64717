// The download conversations' way to the main dialog. The poll threads start
// while the dialog is still being built, before it can be handed to them, so
// a conversation that needs the window first waits for it, as SendMessage
// waits for a window whose thread is busy. It adds no behaviour of its own.
#pragma once

#include "download/conversations.h"

#include <condition_variable>
#include <mutex>

namespace padlink {

class DialogDownloadHost final : public DownloadHost {
public:
    // The dialog's own host; from here on calls go straight to it.
    void attach(DownloadHost& window);
    // No window will come (the dialog failed or is gone): waiting calls and
    // later ones are dropped. Only once no conversation uses the old window.
    void detach();

    void postDownloadProgress(std::string_view record) override;
    void showMessage(const Notice& notice) override;
    void postDisplayLine(std::string_view text) override;

private:
    DownloadHost* window();

    std::mutex mutex_;
    std::condition_variable attached_;
    DownloadHost* window_ = nullptr;
    bool closed_ = false;
};

}  // namespace padlink
