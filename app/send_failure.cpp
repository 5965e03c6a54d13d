#include "app/send_failure.h"

#include "net/ftp/nmftp.h"
#include "net/socket/psock.h"
#include "platform/cp932.h"
#include "platform/runtime.h"

namespace app {
namespace {

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

SendFailureKind KindOfSocketError(const std::string& message) {
    if (message == "Null Remote Address" || message.rfind("Host Lookup", 0) == 0) return SendFailureKind::HostNotFound;
    if (message.rfind("Connection Failed", 0) == 0 || message.rfind("Connection Timed out", 0) == 0)
        return SendFailureKind::NoConnection;
    return SendFailureKind::ConnectionLost;
}

bool IsNetworks(SendFailureKind kind) {
    return kind != SendFailureKind::FileUnreadable && kind != SendFailureKind::PortSettingInvalid;
}

}  // namespace

SendFailure ClassifySendFailure(SendStage stage, const std::exception_ptr& error, const std::string& server) {
    try {
        std::rethrow_exception(error);
    } catch (const platform::EFOpenError& failure) {
        return {SendFailureKind::FileUnreadable, failure.what()};
    } catch (const platform::EReadError& failure) {
        return {SendFailureKind::FileUnreadable, failure.what()};
    } catch (const nmftp::FTPException& failure) {
        const auto kind = stage == SendStage::LoggingIn ? SendFailureKind::LogInRefused : SendFailureKind::UploadRefused;
        return {kind, WithoutLineEnd(failure.what())};
    } catch (const psock::ESockError& failure) {
        // Whatever broke the notification request, its step is what the user needs to know.
        const auto kind = stage == SendStage::Notifying ? SendFailureKind::NotificationFailed : KindOfSocketError(failure.what());
        return {kind, server + ": " + failure.what()};
    } catch (const std::exception& failure) {
        if (stage == SendStage::Notifying) return {SendFailureKind::NotificationFailed, failure.what()};
        if (stage == SendStage::Preparing) return {SendFailureKind::PortSettingInvalid, failure.what()};
        return {SendFailureKind::Other, failure.what()};
    } catch (...) {
        return {SendFailureKind::Other, ""};
    }
}

std::string SendFailureLine(const SendFailure& failure) {
    const char* what = "";
    switch (failure.kind) {
    case SendFailureKind::HostNotFound: what = "サーバーが見つかりませんでした。"; break;
    case SendFailureKind::NoConnection: what = "サーバーに接続できませんでした。"; break;
    case SendFailureKind::NoAnswer: what = "サーバーからの応答が途絶えました。"; break;
    case SendFailureKind::ConnectionLost: what = "サーバーとの通信が途中で切れました。"; break;
    case SendFailureKind::LogInRefused: what = "サーバーへのログインが拒否されました。"; break;
    case SendFailureKind::UploadRefused: what = "サーバーがファイルの受け取りを拒否しました。"; break;
    case SendFailureKind::NotificationFailed: what = "リンク付きメールの送信依頼に失敗しました。"; break;
    case SendFailureKind::Other: what = "送信中にエラーが発生しました。"; break;
    case SendFailureKind::FileUnreadable: what = "移動や削除をされていないか、確認してください。"; break;
    case SendFailureKind::PortSettingInvalid: what = "環境変数の値を確認してください。"; break;
    }
    const std::string detail = failure.detail.empty() ? "" : "[" + failure.detail + "]";
    return platform::Cp932(what) + detail;
}

std::string SendFailedMessage(const SendFailure& failure, const std::string& cp932FileName,
                              const std::string& cp932LogPath) {
    std::string first;
    if (IsNetworks(failure.kind)) first = platform::Cp932("インターネットに接続できません。");
    else if (failure.kind == SendFailureKind::FileUnreadable)
        first = platform::Cp932("ファイル「") + cp932FileName + platform::Cp932("」を読み込めませんでした。");
    else first = platform::Cp932("送信先のポート番号の設定が正しくありません。");
    std::string message = first + "\n\n" + SendFailureLine(failure);
    if (!cp932LogPath.empty()) message += platform::Cp932("\n\n送信の記録: ") + cp932LogPath;
    return message;
}

}  // namespace app
