// One operation of the network components per run, so that bench/paired.py can time it as a
// process beside curl doing the same work:
//
//   bench_client ftp-upload HOST PORT USER PASSWORD DIR FILE active|passive
//   bench_client ftp-login HOST PORT USER PASSWORD      greeting and log-in, then QUIT
//   bench_client http-get URL body|FILE                 the response body into Body or a file
//   bench_client http-posts URL COUNT                   COUNT POSTs with empty data
//   bench_client idle HOST PORT                         a 3-second wait for a line that never comes
//
// It prints nothing on success; a failure goes to stderr with exit status 1.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/ftp/nmftp.h"
#include "net/http/nmhttp.h"
#include "net/socket/psock.h"

namespace {

constexpr int TimeOutMs = 60'000;  // a hung server ends the run instead of the bench

// Points the client at HOST PORT USER PASSWORD, the first four arguments.
void PointAt(nmftp::TNMFTP& ftp, const std::vector<std::string>& a) {
    ftp.Host = a[0];
    ftp.Port = std::atoi(a[1].c_str());
    ftp.UserID = a[2];
    ftp.Password = a[3];
    ftp.TimeOut = TimeOutMs;
}

int FtpUpload(const std::vector<std::string>& a) {
    nmftp::TNMFTP ftp;
    PointAt(ftp, a);
    ftp.Passive = a[6] == "passive";
    bool succeeded = false;
    ftp.OnSuccess = [&](nmftp::TCmdType code) { succeeded = succeeded || code == nmftp::cmdUpload; };
    ftp.Connect();
    ftp.Mode(2);
    ftp.ChangeDir(a[4]);
    const std::string& path = a[5];
    ftp.Upload(path, path.substr(path.find_last_of('/') + 1));
    ftp.Disconnect();
    return succeeded ? 0 : 1;
}

int FtpLogin(const std::vector<std::string>& a) {
    nmftp::TNMFTP ftp;
    PointAt(ftp, a);
    ftp.Connect();
    ftp.Disconnect();
    return 0;
}

int HttpGet(const std::vector<std::string>& a) {
    nmhttp::TNMHTTP http;
    http.TimeOut = TimeOutMs;
    if (a[1] != "body") {
        http.InputFileMode = true;
        http.Body = a[1];
    }
    http.Get(a[0]);
    return http.ReplyNumber == 200 ? 0 : 1;
}

int HttpPosts(const std::vector<std::string>& a) {
    nmhttp::TNMHTTP http;
    http.TimeOut = TimeOutMs;
    const int count = std::atoi(a[1].c_str());
    for (int i = 0; i < count; ++i) {
        http.Post(a[0], "");
        if (http.ReplyNumber != 200) return 1;
    }
    return 0;
}

int Idle(const std::vector<std::string>& a) {
    psock::TPowersock sock;
    sock.Host = a[0];
    sock.Port = std::atoi(a[1].c_str());
    sock.Connect();
    sock.TimeOut = 3000;
    try {
        sock.ReadLn();
    } catch (const psock::EAbortError&) {
    }
    sock.Disconnect();
    return 0;
}

struct Mode {
    const char* name;
    std::size_t arguments;
    int (*run)(const std::vector<std::string>&);
};
constexpr Mode Modes[] = {
    {"ftp-upload", 7, FtpUpload}, {"ftp-login", 4, FtpLogin}, {"http-get", 2, HttpGet},
    {"http-posts", 2, HttpPosts}, {"idle", 2, Idle},
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + std::min(argc, 2), argv + argc);
    for (const Mode& mode : Modes) {
        if (argc < 2 || argv[1] != std::string(mode.name) || arguments.size() != mode.arguments) continue;
        try {
            return mode.run(arguments);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "bench_client %s: %s\n", mode.name, error.what());
            return 1;
        }
    }
    std::fprintf(stderr, "usage: see the head of bench/bench_client.cpp\n");
    return 2;
}
