#include "app/service_urls.h"

#include "app/build_constants.h"
#include "app/file_name_parts.h"

namespace app {

std::string NotifyUrl(std::string_view hostAndPort, std::string_view fileName, std::string_view userName,
                      std::string_view mailLocalPart, std::string_view mailDomain) {
    std::string url = "http://";
    url += hostAndPort;
    url += "/ftp.php?file=";
    url += QueryValue(fileName);
    url += "&name=";
    url += QueryValue(userName);
    url += "&mail=";
    url += QueryValue(mailLocalPart);
    url += "@";
    url += QueryValue(mailDomain);
    return url;
}

namespace {

// Control bytes and DEL cannot stand raw in a request line; a space is refused by servers; "#"
// would end the query, "%" start an escape, "&" the next parameter, and "+" be read as a space.
bool ScriptWouldMisread(unsigned char byte) {
    return byte <= ' ' || byte == 0x7F || byte == '#' || byte == '%' || byte == '&' || byte == '+';
}

}  // namespace

std::string QueryValue(std::string_view cp932Value) {
    // Byte by byte is safe: a CP932 trail byte is 0x40-0x7E or 0x80-0xFC, never one of these,
    // so no double-byte character is split or changed.
    constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string value;
    value.reserve(cp932Value.size());
    for (char ch : cp932Value) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ScriptWouldMisread(byte)) {
            value += '%';
            value += hexDigits[byte >> 4];
            value += hexDigits[byte & 0x0F];
        } else {
            value += ch;
        }
    }
    return value;
}

std::string ProgramBaseName(std::string_view cp932ExecutablePath) {
    const std::string name = ExtractFileName(cp932ExecutablePath);
    return name.substr(0, name.size() - ExtractFileExt(cp932ExecutablePath).size());
}

std::string InformationUrl(std::string_view cp932ExecutablePath) {
    return std::string("http://") + InfoHost + "/info.php?pf=w&sn=" + ProgramBaseName(cp932ExecutablePath);
}

std::string ServiceSiteUrl() { return std::string("http://") + UploadHost; }

}  // namespace app
