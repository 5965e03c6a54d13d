#include "app/send_server.h"

#include <cstdlib>
#include <string_view>

#include "app/build_constants.h"
#include "platform/runtime.h"

namespace app {
namespace {

int PortFromEnvironment(const char* variable, int fallback) {
    const char* value = std::getenv(variable);
    if (value == nullptr) return fallback;
    const std::string_view text(value);
    int port = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9' || port > 65535) {
            port = 0;
            break;
        }
        port = port * 10 + (ch - '0');
    }
    if (port < 1 || port > 65535) throw platform::Exception(std::string(variable) + " is not a port number");
    return port;
}

}  // namespace

SendServer SendServerFromEnvironment() {
    SendServer server;
    const char* host = std::getenv("MILTE_UPLOAD_HOST");
    server.host = (host != nullptr && *host != '\0') ? host : UploadHost;
    server.ftpPort = PortFromEnvironment("MILTE_FTP_PORT", 21);
    server.httpPort = PortFromEnvironment("MILTE_HTTP_PORT", 80);
    return server;
}

}  // namespace app
