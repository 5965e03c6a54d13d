#pragma once
// The URLs the window builds: the notification that asks the service's script to mail the link,
// the maker's information page and the service's web site. All texts are CP932 bytes.

#include <string>
#include <string_view>

namespace app {

// "http://" + hostAndPort + "/ftp.php?file=" + file + "&name=" + name + "&mail=" + local + "@" +
// domain. hostAndPort is the host, with ":port" only when the script is not on port 80.
std::string NotifyUrl(std::string_view hostAndPort, std::string_view fileName, std::string_view userName,
                      std::string_view mailLocalPart, std::string_view mailDomain);

// The value as it goes into the query: the bytes the script would read otherwise (control
// bytes, space, DEL, "#", "%", "&", "+") percent-encoded, every other byte, CP932 double-byte
// characters included, raw.
std::string QueryValue(std::string_view cp932Value);

// The program's file name without its extension ("milte-post" for ".../milte-post").
std::string ProgramBaseName(std::string_view cp932ExecutablePath);

// "http://" + InfoHost + "/info.php?pf=w&sn=" + the program's base name.
std::string InformationUrl(std::string_view cp932ExecutablePath);

// "http://" + UploadHost, without a path.
std::string ServiceSiteUrl();

}  // namespace app
