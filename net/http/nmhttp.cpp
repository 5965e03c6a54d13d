#include "net/http/nmhttp.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>
#include <optional>

#include "net/http/nmurl.h"
#include "net/http/nmuue.h"
#include "platform/cp932.h"
#include "platform/file_stream.h"

namespace nmhttp {
namespace {

using psock::NthPos;
using psock::NthWord;

constexpr std::uint8_t LevelCompletion = 2;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string AsciiLower(std::string text) {
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return text;
}

// Only the low 16 bits of Port reach the socket: a number beyond them would quietly connect
// to another port, so it is refused.
int PortNumber(const std::string& text) {
    const int port = platform::StrToInt(text);
    if (port < 0 || port > 65535) {
        throw Exception("Port number out of range: '" + text + "'");
    }
    return port;
}

std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

// A decimal length; -1 when the text is none.
std::int64_t LengthOf(const std::string& text) {
    std::int64_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    return error == std::errc() && end == text.data() + text.size() ? length : -1;
}

std::string TrimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EndsHeaderBlock(const std::string& line) { return line == "\r\n" || line == "\n"; }

Exception HeadCutShort() { return Exception("Connection closed inside the response head"); }

const char* RequestToken(CmdType cmd) {
    switch (cmd) {
        case CmdType::Get: return "GET ";
        case CmdType::Options: return "OPTIONS ";
        case CmdType::Head: return "HEAD ";
        case CmdType::Post: return "POST ";
        case CmdType::Put: return "PUT ";
        case CmdType::Patch: return "PATCH ";
        case CmdType::Copy: return "COPY ";
        case CmdType::Move: return "MOVE ";
        case CmdType::Delete: return "DELETE ";
        case CmdType::Link: return "LINK ";
        case CmdType::Unlink: return "UNLINK ";
        case CmdType::Trace: return "TRACE ";
        case CmdType::SendRaw: return "";
    }
    return "";
}

// Kinds that send RequestData after the header block. LINK and UNLINK carry a value in a header
// line only, so they announce no length either.
bool SendsData(CmdType cmd) {
    return cmd == CmdType::Post || cmd == CmdType::Put || cmd == CmdType::Patch || cmd == CmdType::Trace ||
           cmd == CmdType::SendRaw;
}

std::string PathOf(const std::string& url) {
    if (Contains(url, "//")) {
        const auto third = static_cast<std::size_t>(NthPos(url, '/', 3));
        return third > url.size() ? "" : url.substr(third - 1);
    }
    const auto slash = url.find('/');
    return slash == std::string::npos ? "" : url.substr(slash);
}

std::string HostPartOf(const std::string& url) {
    if (Contains(url, "//")) {
        const auto second = static_cast<std::size_t>(NthPos(url, '/', 2));
        if (second > url.size()) {
            // The "//" begins inside a double-byte character, so there are not two "/" to split at.
            throw Exception("Malformed URL: '" + url + "'");
        }
        const auto third = static_cast<std::size_t>(NthPos(url, '/', 3));
        return url.substr(second, third - 1 - second);
    }
    if (url.front() == '/') {
        return "";
    }
    return url.substr(0, url.find('/'));
}

// The scheme only chooses the port: the request stays an HTTP request.
std::optional<int> PortOfScheme(const std::string& url) {
    const auto colon = url.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::string scheme = AsciiLower(url.substr(0, colon));
    if (scheme == "https") {
        throw Exception("HTTP Secure Socket is not supported");
    }
    if (scheme == "gopher") {
        return 70;
    }
    if (scheme == "ftp") {
        return 21;
    }
    return 80;
}

}  // namespace

TNMHTTP::TNMHTTP() = default;

void TNMHTTP::Abort() {
    AsyncDone = true;  // ends a host lookup wait too
    Cancel();
}

// ---- Request operations ----

void TNMHTTP::Options(const std::string& url) { Request(CmdType::Options, url, RequestData); }
void TNMHTTP::Get(const std::string& url) { Request(CmdType::Get, url, RequestData); }
void TNMHTTP::Head(const std::string& url) { Request(CmdType::Head, url, RequestData); }
void TNMHTTP::Delete(const std::string& url) { Request(CmdType::Delete, url, RequestData); }

void TNMHTTP::Post(const std::string& url, const std::string& postData) {
    std::string data = postData;
    if (EncodePostData && !OutputFileMode) {
        nmurl::TNMURL encoder;
        encoder.InputString = postData;
        data = encoder.Encode();
    }
    Request(CmdType::Post, url, data);
}

void TNMHTTP::Put(const std::string& url, const std::string& putData) { Request(CmdType::Put, url, putData); }
void TNMHTTP::Patch(const std::string& url, const std::string& patchData) { Request(CmdType::Patch, url, patchData); }
void TNMHTTP::Trace(const std::string& url, const std::string& traceData) { Request(CmdType::Trace, url, traceData); }
void TNMHTTP::SendRaw(const std::string& url, const std::string& data) { Request(CmdType::SendRaw, url, data); }

void TNMHTTP::Copy(const std::string& url, const std::string& destination) {
    ExtraHeaderValue = destination;
    Request(CmdType::Copy, url, RequestData);
}

void TNMHTTP::Move(const std::string& url, const std::string& destination) {
    ExtraHeaderValue = destination;
    Request(CmdType::Move, url, RequestData);
}

void TNMHTTP::Link(const std::string& url, const std::string& linkValue) {
    ExtraHeaderValue = linkValue;
    Request(CmdType::Link, url, "Send.dat");
}

void TNMHTTP::Unlink(const std::string& url, const std::string& linkValue) {
    ExtraHeaderValue = linkValue;
    Request(CmdType::Unlink, url, "Send.dat");
}

void TNMHTTP::Request(CmdType cmd, const std::string& url, const std::string& data) {
    URL = url;
    RequestData = data;
    CurrentCmd = cmd;
    DoRequest();
}

// ---- The exchange and its repetition ----

void TNMHTTP::DoRequest() {
    for (int redirects = 0;; ++redirects) {
        ParseURL();
        BuildHeader();
        if (OnAboutToSend) {
            OnAboutToSend(this);
        }
        CheckRequestHeader();
        Exchange();
        if (!DecideRedirect()) {
            return;
        }
        if (redirects == MaxRedirects) {
            throw Exception("Too many redirects (more than " + std::to_string(MaxRedirects) + ")");
        }
    }
}

// Connects, sends, receives; the connection is closed however that ends.
void TNMHTTP::Exchange() {
    try {
        Connect();
        SendRequest();
        ReceiveResponse();
    } catch (...) {
        Disconnect();
        throw;
    }
    Disconnect();
}

void TNMHTTP::ReceiveResponse() {
    ReplyNumber = 0;
    ReadHeader();
    ReceiveBody();
    ReportResult();
}

void TNMHTTP::ReceiveBody() {
    // The body runs until the server closes; a Content-Length line does not end it early.
    if (InputFileMode) {
        CaptureFile(Body);
    } else if (MaxBodyLength <= 0) {
        CaptureString(Body, -1, announcedLength_);
    } else {
        // One byte more tells a body that is too long.
        CaptureString(Body, std::min(MaxBodyLength, std::numeric_limits<std::int64_t>::max() - 1) + 1,
                      std::min(announcedLength_, MaxBodyLength));
        if (static_cast<std::int64_t>(Body.size()) > MaxBodyLength) {
            throw Exception("Response body longer than " + std::to_string(MaxBodyLength) + " bytes");
        }
    }
}

void TNMHTTP::ReportResult() {
    if (ReplyNumber < 299) {
        if (OnSuccess) {
            OnSuccess(CurrentCmd);
        }
        ReportStatus(LevelCompletion, "Transaction Completed");
    } else if (ReplyNumber > 399) {
        if (OnFailure) {
            OnFailure(CurrentCmd);
        }
    } else if (ReplyNumber >= 300 && ReplyNumber <= 302 && !Location.empty()) {
        URL = Location;
    }
}

// After the close: redirect events and cookies, and whether to send the request again. Only
// 300 to 302 with a target are followed; any other 3xx ends the operation, so a server that
// keeps answering the same cannot make the client repeat the request unchanged for ever.
bool TNMHTTP::DecideRedirect() {
    const int status = ReplyNumber;
    const bool followable = status >= 300 && status <= 302 && !Location.empty();
    if (status >= 300 && status <= 398) {
        bool Handled = false;
        if (!ResponseCookie.empty()) {
            HeaderInfo.Cookie = ResponseCookie;
            cookieTaken_ = ResponseCookie;
            cookieOrigin_ = Host;
        }
        if (OnRedirect) {
            OnRedirect(Handled);
        }
        if (Handled) {
            return false;
        }
        if (followable) {
            URL = AbsoluteURL(URL);
        }
    }
    if (status == 401 && OnAuthenticationNeeded) {
        OnAuthenticationNeeded(this);
    }
    return followable;
}

// A target whose first "/" does not begin "//" (no "scheme://" or "//host") is relative to the
// server just asked: it keeps that host and port (a proxy needs the whole URL, and a bare path
// must not be taken for a host name, nor "//" inside a path for the start of one).
std::string TNMHTTP::AbsoluteURL(const std::string& target) const {
    const auto firstSlash = target.find('/');
    if (firstSlash != std::string::npos && target.compare(firstSlash, 2, "//") == 0) {
        return target;
    }
    std::string origin = "http://" + Host;
    const int port = Port & 0xFFFF;
    if (port != 80) {
        origin += ":" + std::to_string(port);
    }
    return origin + (!target.empty() && target.front() == '/' ? "" : "/") + target;
}

// ---- Status line ----

std::int16_t StatusCode(const std::string& statusLine) {
    const std::string field = NthWord(WithoutLineEnd(statusLine), ' ', 2);
    if (field.empty() || field.size() > 5 ||
        !std::all_of(field.begin(), field.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        return 0;
    }
    const int value = std::stoi(field);
    return value <= INT16_MAX ? static_cast<std::int16_t>(value) : 0;
}

// ---- URL ----

void TNMHTTP::ParseURL() {
    if (URL.empty()) {
        throw Exception("Empty URL");
    }
    if (Port == 0) {
        Port = 80;
    }
    Path = PathOf(URL);
    if (const auto schemePort = PortOfScheme(URL)) {
        Port = *schemePort;
    }
    std::string hostPart = HostPartOf(URL);
    // An IPv6 literal keeps its brackets (the socket takes it so, and the Host line needs them);
    // its port follows the "]".
    const auto portFrom = hostPart.starts_with("[") ? hostPart.find(']') : 0;
    if (portFrom == std::string::npos) {
        throw Exception("Malformed URL: '" + URL + "'");
    }
    const auto colon = hostPart.find(':', portFrom);
    if (colon != std::string::npos) {
        Port = PortNumber(NthWord(hostPart.substr(colon), ':', 2));
        hostPart.resize(colon);
    }
    if (!hostPart.empty()) {
        Host = hostPart;
    }
    if (Path.empty()) {
        Path = "/";
        URL += "/";
    }
}

// ---- Request header ----

void TNMHTTP::BuildHeader() {
    RequestHeader.Clear();
    if (CurrentCmd != CmdType::SendRaw) {
        RequestHeader.Add(RequestToken(CurrentCmd) + (Proxy.empty() ? Path : URL) + " HTTP/1.0");
    }
    if (!Proxy.empty()) {
        RequestHeader.Add("Proxy-Connection: Keep-Alive");
        RequestHeader.Add("Host: " + Host);
    }
    RequestHeader.SetHeader("Host", Host);
    RequestHeader.Add("Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff");
    RequestHeader.Add("Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript");
    if (!HeaderInfo.LocalMailAddress.empty()) {
        RequestHeader.SetHeader("From", HeaderInfo.LocalMailAddress);
    }
    if (!HeaderInfo.LocalProgram.empty()) {
        RequestHeader.SetHeader("User-Agent", HeaderInfo.LocalProgram);
    }
    if (!HeaderInfo.Cookie.empty() && CookieGoesTo(Host)) {
        RequestHeader.SetHeader("Cookie", HeaderInfo.Cookie);
    }
    if (!HeaderInfo.Referer.empty()) {
        RequestHeader.SetHeader("Referer", HeaderInfo.Referer);
    }
    if (!HeaderInfo.UserId.empty() && !HeaderInfo.Password.empty()) {
        RequestHeader.SetHeader("Authorization", "Basic " + AuthorizationValue());
    }
    RequestHeader.Add("Content-type: application/x-www-form-urlencoded");
    if (CurrentCmd == CmdType::Copy || CurrentCmd == CmdType::Move) {
        RequestHeader.Add("URI-header: " + ExtraHeaderValue);
    } else if (CurrentCmd == CmdType::Link || CurrentCmd == CmdType::Unlink) {
        RequestHeader.Add("Link: " + ExtraHeaderValue);
    }
    if (SendsData(CurrentCmd)) {
        RequestHeader.Add("Content-Length: " + std::to_string(RequestDataLength()));
    }
}

// A cookie the application set goes with every request; one taken from a redirect goes back
// only to the host that set it, never on to the host the redirect names.
bool TNMHTTP::CookieGoesTo(const std::string& host) const {
    return HeaderInfo.Cookie != cookieTaken_ || nmextstr::SameTextCp932(host, cookieOrigin_);
}

std::string TNMHTTP::AuthorizationValue() const {
    std::string value = nmuue::EncodeBytes(HeaderInfo.UserId + ":" + HeaderInfo.Password, nmuue::UUMethods::uuMime);
    std::erase_if(value, [](char ch) { return ch == '\r' || ch == '\n'; });
    return value;
}

std::int64_t TNMHTTP::RequestDataLength() const {
    if (OutputFileMode) {
        return platform::FileStream(RequestData, platform::FileStream::Mode::Read).Size();
    }
    return static_cast<std::int64_t>(RequestData.size());
}

// A CR or LF inside a value would end its line early and let the rest pass for a line of its
// own; a NUL would cut the header short. Such a request is refused before anything is sent.
void TNMHTTP::CheckRequestHeader() const {
    for (int i = 0; i < RequestHeader.Count(); ++i) {
        if (RequestHeader[i].find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            throw Exception("Request header line " + std::to_string(i + 1) + " contains CR, LF or NUL");
        }
    }
}

// ---- Sending ----

void TNMHTTP::SendRequest() {
    Write(RequestHeader.Text() + "\r\n");  // the head and the blank line that ends it, in one send
    if (!SendsData(CurrentCmd)) {
        return;
    }
    if (OutputFileMode) {
        SendFile(RequestData);
    } else {
        SendData(RequestData);
    }
}

// Data goes out by explicit length, so NUL bytes and texts beyond one buffer are sent whole and
// match the announced Content-Length.
void TNMHTTP::SendData(const std::string& data) {
    constexpr std::size_t largestPiece = 65535;
    for (std::size_t offset = 0; offset < data.size(); offset += largestPiece) {
        const std::size_t piece = std::min(largestPiece, data.size() - offset);
        SendBuffer(data.data() + offset, static_cast<std::uint16_t>(piece));
    }
}

// ---- Response head ----

void TNMHTTP::ReadHeader() {
    ResponseCookie.clear();
    Location.clear();
    announcedLength_ = -1;
    std::unique_ptr<platform::FileStream> headerFile;
    if (OutputFileMode) {
        headerFile = std::make_unique<platform::FileStream>(Header, platform::FileStream::Mode::Create);
    } else {
        Header.clear();
    }
    std::size_t headLength = 0;
    const auto keep = [&](const std::string& line) {
        headLength += line.size();
        if (headLength > MaxResponseHeadLength) {
            throw Exception("Response header longer than " + std::to_string(MaxResponseHeadLength) + " bytes");
        }
        if (headerFile) {
            headerFile->Write(line.data(), line.size());
        } else {
            Header += line;
        }
    };

    const std::string statusLine = ReadLn();
    if (statusLine.empty()) {
        if (LastLineCutShort) throw HeadCutShort();
        return;  // the server closed without a byte: an empty response
    }
    ReplyNumber = StatusCode(statusLine);
    keep(statusLine);
    std::string line;
    do {
        line = ReadLn();
        // A close is no blank line: a head cut short must not pass for a complete answer.
        if (line.empty()) throw HeadCutShort();
        TakeResponseField(line);
        keep(line);
    } while (!EndsHeaderBlock(line));
}

// Location and Set-Cookie are kept whole, whatever their length and however many blanks follow
// the colon.
void TNMHTTP::TakeResponseField(const std::string& line) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) {
        return;
    }
    const std::string name = line.substr(0, colon);
    const auto value = [&] { return TrimBlanks(WithoutLineEnd(line.substr(colon + 1))); };
    if (nmextstr::SameTextCp932(name, "Set-Cookie")) {
        ResponseCookie = value();
    } else if (nmextstr::SameTextCp932(name, "Location")) {
        Location = value();
    } else if (nmextstr::SameTextCp932(name, "Content-Length")) {
        announcedLength_ = LengthOf(value());  // room to reserve only: the body runs to the close
    }
}

}  // namespace nmhttp
