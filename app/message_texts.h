#pragma once
// The texts of the send's, the settings' and the information links' messages, in CP932.

#include <cstddef>
#include <string>

namespace app {

// "<address> 宛てに「<file name>」を送信しました。" and the notice that follows it.
std::string SendSucceededMessage(const std::string& cp932Address, const std::string& cp932FileName);
// The notice on delivery that follows it, "【ご注意】" to "あらかじめご了承ください。".
std::string SendNotice();
// The list of supported file formats.
std::string FormatsListMessage();

// The settings window's hint above the fields, while a dropped file waits for a destination.
std::string SettingsFirstHint();
// Asked when files are sent from the window while its fields differ from what is saved.
std::string SaveBeforeSendingQuestion();
// Something dropped or pasted on the window that is not a file on this machine.
std::string NotLocalFilesMessage();
// A destination's local part that cannot be saved.
std::string DestinationRefusedMessage();
// A destination without a carrier from the list, which cannot be saved.
std::string CarrierMissingMessage();

// The question before a send with pictures over the size limit: the one picture's name, or how
// many there are.
std::string ShrinkQuestion(const std::string& cp932FileName, std::size_t pictureCount);
// A shrunk file in the list of files sent: its name, marked, with the name it went under.
std::string ShrunkFileLabel(const std::string& cp932FileName, const std::string& cp932SentName);

}  // namespace app
