// The two download conversations of a base station's poll thread: the
// manual download the operator starts from the download page (command
// 0x81) and the update download a handheld asks for with its table versions
// (command 0x82). Each holds the station's line until it ends, leads with the
// handheld's status frames and answers each with a data packet or an
// end-of-table frame built in the request's buffer. They reach the window only
// through DownloadHost, whose calls return once the window has taken the text
// or the operator has pressed OK; they must never touch a widget.
#pragma once

#include "download/download_flags.h"
#include "download/download_line.h"
#include "download/list_frames.h"
#include "download/table_files.h"
#include "link/link_session.h"

#include <functional>
#include <optional>
#include <string_view>
#include <utility>

namespace padlink {

class DownloadHost {
public:
    virtual ~DownloadHost() = default;
    // "label,text" for the download page (WM_USER+110); dropped while the page is absent.
    virtual void postDownloadProgress(std::string_view record) = 0;
    // A modal box with only OK.
    virtual void showMessage(const Notice& notice) = 0;
    // A line for the monitor page; only called while the station is shown.
    virtual void postDisplayLine(std::string_view text) = 0;
};

// Sends label + "," + text to the page.
void postDownloadProgress(DownloadHost& host, std::string_view label, std::string_view text);

// The page's reading of a progress record: the handheld's address and the
// row's new state, split at the first comma; nothing when the comma is
// missing or comes before position 2.
std::optional<std::pair<std::string_view, std::string_view>> splitDownloadProgress(
    std::string_view record);

struct DownloadContext {
    DownloadFlags flags;
    DownloadHost& host;
    std::function<LocalTime()> clock = currentLocalTime;
};

inline constexpr int kManualDone = 0;
inline constexpr int kManualFailed = -2;
inline constexpr int kNothingToUpdate = 1;

// buffer holds the handheld's 0x81 request. 0 when the handheld has all its
// tables, -2 on failure ("下载失败!" posted either way as its outcome).
int manualDownload(DownloadLine port, DownloadBuffer buffer, LinkSession& session,
                   int stationIndex, std::string_view label, const DownloadContext& context);

// buffer holds the handheld's 0x82 request. 1 when nothing differs (the
// no-update frame was sent), else the result of the last status read.
int versionDownload(DownloadLine port, DownloadBuffer buffer, LinkSession& session,
                    int stationIndex, std::string_view label, const DownloadContext& context);

}  // namespace padlink
