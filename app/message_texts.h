#pragma once
// The texts of the send's, the settings' and the information links' messages, in CP932.

#include <string>

namespace app {

// "<address> 宛てに「<file name>」を送信しました。" and the notice that follows it.
std::string SendSucceededMessage(const std::string& cp932Address, const std::string& cp932FileName);
// "インターネットに接続できません。": every failure of a send.
std::string SendFailedMessage();
// The list of supported file formats.
std::string FormatsListMessage();

// The settings window's hint above the fields, while a dropped file waits for a destination.
std::string SettingsFirstHint();
// A destination's local part that cannot be saved.
std::string DestinationRefusedMessage();

}  // namespace app
