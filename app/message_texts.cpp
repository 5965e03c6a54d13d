#include "app/message_texts.h"

#include "platform/cp932.h"

namespace app {

std::string SendSucceededMessage(const std::string& cp932Address, const std::string& cp932FileName) {
    return cp932Address + platform::Cp932(" 宛てに「") + cp932FileName + platform::Cp932("」を送信しました。\n\n") +
           SendNotice();
}

std::string SendNotice() {
    return platform::Cp932(
        "【ご注意】\n・ファイルの破損、非対応フォーマットについてはサポート致しかねます。\n"
        "・サーバーの状況により送信が延滞する場合や、予告なしにサービスを停止させていただく場合があります。\n\n"
        "あらかじめご了承ください。");
}

std::string FormatsListMessage() {
    return platform::Cp932(
        "【対応ファイル形式一覧】\nai\nbmp\ndcm\neps\ngif\njpg\njpeg\npcx\npdf\npict\npct\npng\nps\npsd\ntif\ntiff\n\n"
        "(2007.7.23現在)");
}

std::string SettingsFirstHint() { return platform::Cp932("送信先が未設定です。保存するとファイルを送信します。"); }

std::string SaveBeforeSendingQuestion() {
    return platform::Cp932(
        "入力した設定はまだ保存されていません。\n\n"
        "保存してから、その送信先に送信しますか？\n"
        "「いいえ」を選ぶと、保存済みの送信先に送信します。");
}

std::string NotLocalFilesMessage() {
    return platform::Cp932("送信できるのは、このコンピューターにあるファイルだけです。");
}

std::string ShrinkQuestion(const std::string& cp932FileName, std::size_t pictureCount) {
    const std::string which = pictureCount == 1 ? platform::Cp932("「") + cp932FileName + platform::Cp932("」は")
                                                : std::to_string(pictureCount) + platform::Cp932(" 個の画像が");
    return which + platform::Cp932(" 5MB を超えているため、このままでは送信できません。\n\n"
                                   "縮小して送信しますか？（元のファイルは変更されません）");
}

std::string ShrunkFileLabel(const std::string& cp932FileName, const std::string& cp932SentName) {
    if (cp932SentName == cp932FileName) return cp932FileName + platform::Cp932("（縮小）");
    return cp932FileName + platform::Cp932("（縮小して ") + cp932SentName + platform::Cp932("）");
}

std::string DestinationRefusedMessage() {
    return platform::Cp932(
        "送信先のメールアドレスが正しくありません。\n\n"
        "左の欄には、メールアドレスの「＠」より前の部分を半角の英数字と記号で入力してください。"
        "「＠」より後ろは、右の一覧から選んでください。");
}

std::string CarrierMissingMessage() {
    return platform::Cp932("送信先の携帯電話会社が選ばれていません。\n\n"
                           "メールアドレスの「＠」より後ろを、右の一覧から選んでください。");
}

}  // namespace app
