#include "app/send_progress.h"

#include <algorithm>
#include <utility>

#include "platform/cp932.h"

namespace app {
namespace {

std::string ActivityText(SendStep step) {
    switch (step) {
    case SendStep::Shrinking: return platform::Cp932("縮小しています…");
    case SendStep::Connecting: return platform::Cp932("接続しています…");
    case SendStep::Uploading: return platform::Cp932("送信しています…");
    case SendStep::Notifying: return platform::Cp932("通知しています…");
    }
    return {};
}

// 4900000 as "4,900,000".
std::string GroupedDigits(std::int64_t value) {
    std::string digits = std::to_string(value);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

}  // namespace

ProgressWindowContents ProgressContents(const std::string& cp932FileName, SendStep step, std::int64_t bytesSent,
                                        std::int64_t fileSize) {
    const std::int64_t sent = std::clamp<std::int64_t>(bytesSent, 0, std::max<std::int64_t>(fileSize, 0));
    ProgressWindowContents contents;
    contents.fileName = cp932FileName;
    contents.activity = ActivityText(step);
    contents.barPosition = fileSize > 0 ? static_cast<int>(sent * ProgressWindowContents::BarRange / fileSize) : 0;
    contents.bytes = GroupedDigits(sent) + " / " + GroupedDigits(fileSize) + platform::Cp932(" バイト");
    return contents;
}

SendProgress::SendProgress(TMainForm1View& view) : view_(view) {
    delay_.SetEnabled(false);
    delay_.SetInterval(static_cast<std::uint32_t>(ShowDelay.count()));
    delay_.SetOnTimer([this](platform::TObject*) { Appear(); });
}

void SendProgress::Begin(int fileCount, std::int64_t totalBytes) {
    Hide();
    fileCount_ = fileCount;
    totalBytes_ = totalBytes;
    StartFile(0, "", 0);
    SetStep(SendStep::Connecting);
}

void SendProgress::StartFile(int index, const std::string& cp932FileName, std::int64_t fileSize) {
    bytesBefore_ = std::min(bytesBefore_ + fileSize_, totalBytes_);
    if (index == 0) bytesBefore_ = 0;
    fileSize_ = fileSize;
    bytesSent_ = 0;
    fileLabel_ = cp932FileName;
    if (fileCount_ > 1) fileLabel_ = "(" + std::to_string(index + 1) + " / " + std::to_string(fileCount_) + ") " + cp932FileName;
    Refresh();
}

void SendProgress::SetStep(SendStep step) {
    step_ = step;
    if (Visible()) Refresh();
    else delay_.SetEnabled(true);  // a delay already counting goes on counting
}

void SendProgress::SetBytesSent(std::int64_t bytes) {
    bytesSent_ = std::clamp<std::int64_t>(bytes, 0, fileSize_);
    Refresh();
}

void SendProgress::SetFileSize(std::int64_t fileSize) {
    totalBytes_ = std::max<std::int64_t>(0, totalBytes_ + fileSize - fileSize_);
    fileSize_ = fileSize;
    Refresh();
}

void SendProgress::Hide() {
    delay_.SetEnabled(false);
    if (!Visible()) return;
    shown_.reset();
    view_.HideProgress();
}

void SendProgress::Appear() {
    delay_.SetEnabled(false);
    shown_ = Contents();
    view_.ShowProgress(*shown_);
}

void SendProgress::Refresh() {
    if (!Visible()) return;
    ProgressWindowContents contents = Contents();
    if (contents == *shown_) return;
    shown_ = std::move(contents);
    view_.ShowProgress(*shown_);
}

ProgressWindowContents SendProgress::Contents() const {
    return ProgressContents(fileLabel_, step_, bytesBefore_ + bytesSent_, totalBytes_);
}

}  // namespace app
