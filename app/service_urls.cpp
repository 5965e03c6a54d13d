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

std::string QueryValue(std::string_view cp932Value) {
    // Byte by byte is safe: a CP932 trail byte is 0x40-0x7E or 0x80-0xFC, never one of these
    // (0x20-0x2B), so no double-byte character is split or changed.
    std::string value;
    value.reserve(cp932Value.size());
    for (char byte : cp932Value) {
        switch (byte) {
        case ' ': value += "%20"; break;  // servers refuse a request line with a raw space
        case '#': value += "%23"; break;  // would end the query
        case '%': value += "%25"; break;  // would start an escape
        case '&': value += "%26"; break;  // would start the next parameter
        case '+': value += "%2B"; break;  // would be read as a space
        default: value += byte; break;
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
