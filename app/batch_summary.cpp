#include "app/batch_summary.h"

#include "app/message_texts.h"
#include "platform/cp932.h"

namespace app {
namespace {

std::string Count(std::size_t count) { return std::to_string(count) + platform::Cp932(" 個"); }

// A heading and a line per file, the lines beyond the bound told by their number.
template <typename Item, typename Line>
std::string FileList(const char* heading, const std::vector<Item>& items, Line line) {
    if (items.empty()) return "";
    std::string list = "\n\n" + platform::Cp932(heading);
    for (std::size_t i = 0; i < items.size() && i < MaxListedFiles; ++i) list += "\n" + platform::Cp932("・") + line(items[i]);
    if (items.size() > MaxListedFiles)
        list += "\n" + platform::Cp932("・ほか ") + Count(items.size() - MaxListedFiles);
    return list;
}

std::string WithReason(const BatchReport::File& file) { return file.name + platform::Cp932("：") + file.reason; }

}  // namespace

std::string BatchSummaryMessage(const std::string& cp932Address, const BatchReport& report,
                                const std::string& cp932LogPath) {
    const std::size_t all = report.sent.size() + report.refused.size() + report.failed.size();
    std::string message = cp932Address + platform::Cp932(" 宛てに");
    if (report.sent.empty()) message += platform::Cp932("送信できたファイルはありません。");
    else if (report.sent.size() == all) message += platform::Cp932("、") + Count(all) + platform::Cp932("のファイルを送信しました。");
    else
        message += platform::Cp932("、") + Count(all) + platform::Cp932("のファイルのうち ") + Count(report.sent.size()) +
                   platform::Cp932("を送信しました。");
    message += FileList("【送信したファイル】", report.sent, [](const std::string& name) { return name; });
    message += FileList("【送信しなかったファイル】", report.refused, WithReason);
    message += FileList("【送信できなかったファイル】", report.failed, WithReason);
    if (!report.sent.empty()) message += "\n\n" + SendNotice();
    if (!report.failed.empty() && !cp932LogPath.empty()) message += "\n\n" + platform::Cp932("送信の記録: ") + cp932LogPath;
    return message;
}

}  // namespace app
