#pragma once
// The texts of the send's and the information links' message dialogs, in CP932.

#include <string>

namespace app {

// "<address> 宛てに「<file name>」を送信しました。" and the notice that follows it.
std::string SendSucceededMessage(const std::string& cp932Address, const std::string& cp932FileName);
// The notice on delivery that follows it, "【ご注意】" to "あらかじめご了承ください。".
std::string SendNotice();
// The list of supported file formats.
std::string FormatsListMessage();

}  // namespace app
