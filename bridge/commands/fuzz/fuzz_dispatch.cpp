// Fuzz target: dispatchRequest on random request frames, over real exchange
// files in a private temporary folder, with a front end that answers at once
// with a random answer text. The input is one byte n, then n bytes of answer
// text, then the request frame. No request may write past the buffer or
// crash, and every answer with a header must pass the acceptance rules.
#include "commands/dispatch.h"
#include "config/text_file.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

class ImmediateFrontEnd final : public padlink::FrontEnd {
public:
    explicit ImmediateFrontEnd(std::filesystem::path answerFile) : answerFile_(std::move(answerFile)) {}
    void notify(std::uint32_t, std::string_view) override {
        padlink::writeTextFile(answerFile_, answer);
    }
    std::string answer;

private:
    std::filesystem::path answerFile_;
};

std::filesystem::path folderToRemove;

std::filesystem::path privateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "padlink-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    folderToRemove = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folderToRemove, ignored);
    });
    return pattern;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const padlink::LinkSession session(privateFolder(), 1);
    static ImmediateFrontEnd frontEnd(session.answerFile());
    static const padlink::CommandContext context{1, &frontEnd, [](std::string_view) {}};
    static std::array<std::uint8_t, padlink::kMaxFrameSize> frame;
    if (size == 0) {
        return 0;
    }
    std::size_t textSize = data[0];
    if (textSize > size - 1) {
        textSize = size - 1;
    }
    frontEnd.answer.assign(reinterpret_cast<const char*>(data) + 1, textSize);
    const std::uint8_t* request = data + 1 + textSize;
    std::size_t requestSize = size - 1 - textSize;
    if (requestSize > frame.size()) {
        requestSize = frame.size();
    }
    // As the poll thread hands it over: the reply in a zeroed buffer.
    frame.fill(0);
    if (requestSize > 0) {
        std::memcpy(frame.data(), request, requestSize);
    }
    const std::uint8_t command = frame[7];
    const std::size_t length = padlink::dispatchRequest(frame, session, context);
    if (length > padlink::kMaxFrameSize) {
        std::abort();
    }
    if (length > 0 && command != padlink::kRadioTestCommand &&
        padlink::checkReply(std::span<const std::uint8_t>(frame.data(), length)) !=
            padlink::ReplyVerdict::deliver) {
        std::abort();
    }
    return 0;
}
