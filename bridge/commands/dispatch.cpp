// Command dispatch.
#include "commands/dispatch.h"

#include "commands/request_lines.h"

#include <utility>

namespace padlink {

namespace {

// 串口收到的结账数据长度不对！
constexpr std::string_view kCheckOutLengthMessage{
    "\xb4\xae\xbf\xda\xca\xd5\xb5\xbd\xb5\xc4\xbd\xe1\xd5\xcb\xca\xfd\xbe\xdd\xb3\xa4\xb6\xc8\xb2"
    "\xbb\xb6\xd4\xa3\xa1"};
// 串口收到的即起数据长度不对！
constexpr std::string_view kStartNowLengthMessage{
    "\xb4\xae\xbf\xda\xca\xd5\xb5\xbd\xb5\xc4\xbc\xb4\xc6\xf0\xca\xfd\xbe\xdd\xb3\xa4\xb6\xc8\xb2"
    "\xbb\xb6\xd4\xa3\xa1"};

void show(const CommandContext& context, std::string_view text) {
    if (context.showMessage) {
        context.showMessage(text);
    }
}

}  // namespace

namespace {

// The order version comes as a value of this request: poll threads of
// several stations dispatch at the same time through one layer.
std::size_t dispatchWith(AnswerBuffer frame, const LinkSession& session,
                         const CommandContext& context, int orderVersion) {
    const Command* command = findCommand(frame[7]);
    if (command == nullptr) {
        return 0;
    }
    const RequestLine request = buildRequestLine(frame, *command, orderVersion);
    switch (request.status) {
    case RequestStatus::ok:
        break;
    // The request line file still holds the previous request: no notice and
    // no answer, or the front end would settle that request twice.
    case RequestStatus::checkOutLength:
        show(context, kCheckOutLengthMessage);
        return 0;
    case RequestStatus::startNowLength:
        show(context, kStartNowLengthMessage);
        return 0;
    }
    if (writeRequestLine(session, request.text) != kSuccess) {
        return 0;  // same reason: the front end would read a stale line
    }
    if (command->answer == AnswerKind::radioTestEcho) {
        return buildRadioTestEcho(frame);
    }
    if (!command->notice.empty() && context.frontEnd != nullptr) {
        context.frontEnd->notify(static_cast<std::uint32_t>(session.stationId()),
                                 command->notice);
    }
    const std::string answer = readAnswerText(session);
    return buildAnswer(command->answer, frame, answer);
}

}  // namespace

std::size_t dispatchRequest(AnswerBuffer frame, const LinkSession& session,
                            const CommandContext& context) {
    return dispatchWith(frame, session, context, context.orderVersion);
}

CommandLayer::CommandLayer(int orderVersion, std::optional<WindowHandle> frontEndWindow,
                           MessageSink showMessage)
    : window_(std::move(frontEndWindow)),
      context_{orderVersion, &window_, std::move(showMessage)} {}

CommandLayer::CommandLayer(const std::atomic<int>& orderVersion,
                           std::optional<WindowHandle> frontEndWindow, MessageSink showMessage)
    : CommandLayer(orderVersion.load(), std::move(frontEndWindow), std::move(showMessage)) {
    liveOrderVersion_ = &orderVersion;
}

std::size_t CommandLayer::dispatchRequest(FrameBuffer buffer, LinkSession& session) {
    const int version = liveOrderVersion_ ? liveOrderVersion_->load() : context_.orderVersion;
    return dispatchWith(buffer, session, context_, version);
}

}  // namespace padlink
