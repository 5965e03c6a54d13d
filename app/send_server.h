#pragma once
// Where a send goes: the service's server (UploadHost, FTP on port 21, HTTP on port 80), unless
// the environment names another one, for a self-hosted service or a test bed:
//
//   MILTE_UPLOAD_HOST  host name or address (an IPv6 one bare or in brackets) of the FTP server and
//                      of the "/ftp.php" script
//   MILTE_FTP_PORT     its FTP port (default 21)
//   MILTE_HTTP_PORT    its HTTP port (default 80)

#include <string>

namespace app {

struct SendServer {
    std::string host;
    int ftpPort = 21;
    int httpPort = 80;
};

// Throws platform::Exception when a port variable is set to anything but a number 1-65535, so a
// mistyped test set-up never falls back to the real service.
SendServer SendServerFromEnvironment();

}  // namespace app
