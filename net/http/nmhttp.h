#pragma once
// TNMHTTP: the HTTP/1.0 client. Every request operation is one complete exchange over a
// connection of its own: split the URL, build the header lines, connect, send, read the status
// line, the header lines and the body until the server closes, report the outcome, disconnect,
// and follow a redirect by starting over with the new URL. All of it runs on the caller's thread;
// events fire from inside the operation.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "net/http/nmextstr.h"
#include "net/socket/psock.h"
#include "platform/runtime.h"

namespace nmhttp {

using platform::Exception;
using platform::THandlerEvent;
using platform::TNotifyEvent;
using platform::TObject;

// The kind of request; passed to OnSuccess and OnFailure.
enum class CmdType : std::uint8_t {
    Get = 0,
    Options = 1,
    Head = 2,
    Post = 3,
    Put = 4,
    Patch = 5,
    Copy = 6,
    Move = 7,
    Delete = 8,
    Link = 9,
    Unlink = 10,
    Trace = 11,
    SendRaw = 12,
};

using TResultEvent = std::function<void(CmdType Cmd)>;

// Settings that go into the header lines of every request.
class THeaderInfo : public TObject {
public:
    std::string LocalMailAddress;  // "From"
    std::string LocalProgram;      // "User-Agent"
    std::string Cookie;            // "Cookie"; also taken over from redirect responses, and then
                                   // sent only to the host that set it
    std::string Referer;           // "Referer"
    std::string UserId;            // with Password: Basic "Authorization"
    std::string Password;
};

// Redirects followed by one operation before it gives up, so servers that send a client round in
// circles cannot keep it busy for ever.
constexpr int MaxRedirects = 20;

// The longest response head (status line and header lines) the client takes, as curl does: a
// server that keeps sending header lines cannot swell the client without end.
constexpr std::size_t MaxResponseHeadLength = 300 * 1024;

class TNMHTTP : public psock::TPowersock {
public:
    TNMHTTP();

    // Published. In string mode Header and Body hold the last response; under the file modes
    // they name the files that receive it.
    std::string Body = "Default.htm";
    std::string Header = "Head.txt";
    THeaderInfo HeaderInfo;
    bool InputFileMode = false;   // the body goes to the file named by Body
    bool OutputFileMode = false;  // request data names a file; the header goes to the file named by Header
    // In string mode, a body longer than this fails the request (0: no limit), for callers that
    // expect a small answer and must not be flooded.
    std::int64_t MaxBodyLength = 0;
    TNotifyEvent OnAboutToSend;   // may still change RequestHeader
    TResultEvent OnSuccess;
    TResultEvent OnFailure;
    THandlerEvent OnRedirect;     // set Handled to stop at the redirect
    TNotifyEvent OnAuthenticationNeeded;

    // The current request and what the last response said.
    std::string Path;
    nmextstr::TExStringList RequestHeader;
    std::string Location;
    std::string ResponseCookie;
    bool EncodePostData = true;
    std::string RequestData;
    std::string ExtraHeaderValue;
    std::string URL;
    CmdType CurrentCmd = CmdType::Get;

    void Abort() override;

    virtual void Options(const std::string& url);
    virtual void Get(const std::string& url);
    virtual void Post(const std::string& url, const std::string& postData);
    virtual void Put(const std::string& url, const std::string& putData);
    virtual void Head(const std::string& url);
    virtual void Patch(const std::string& url, const std::string& patchData);
    virtual void Delete(const std::string& url);
    virtual void Trace(const std::string& url, const std::string& traceData);
    virtual void Copy(const std::string& url, const std::string& destination);
    virtual void Move(const std::string& url, const std::string& destination);
    virtual void Link(const std::string& url, const std::string& linkValue);
    virtual void Unlink(const std::string& url, const std::string& linkValue);
    virtual void SendRaw(const std::string& url, const std::string& data);

protected:
    virtual void DoRequest();
    virtual void ParseURL();
    virtual void BuildHeader();
    virtual void ReadHeader();
    virtual void SendRequest();

private:
    void Request(CmdType cmd, const std::string& url, const std::string& data);
    void CheckRequestHeader() const;
    void Exchange();
    void ReceiveResponse();
    void ReceiveBody();
    void ReportResult();
    void TakeResponseField(const std::string& line);
    bool DecideRedirect();
    std::string AbsoluteURL(const std::string& target) const;
    std::string AuthorizationValue() const;
    bool CookieGoesTo(const std::string& host) const;
    std::int64_t RequestDataLength() const;
    void SendData(const std::string& data);

    std::int64_t announcedLength_ = -1;  // the response's Content-Length, -1 when none
    std::string cookieTaken_;            // the cookie last taken from a redirect response
    std::string cookieOrigin_;           // the host that set it
};

// The status of a response's first line: its second blank-separated field when that is plain
// decimal digits fitting the 16-bit reply number; 0 otherwise.
std::int16_t StatusCode(const std::string& statusLine);

}  // namespace nmhttp
