#pragma once
// What a send shows while it runs. A send still under way a second after it began shows the
// progress window: the file's name (of several: which of how many), the step under way, a bar
// and the bytes sent of the size of all the send's files. A send that is over within the second never shows it. No message dialog shares the
// screen with it: the window goes before each one, and a step after the dialog waits a second
// of its own before the window comes back.
//
// The delay is a timer of the message queue, like the components' notifications, so it fires
// while a component waits.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "app/main_form_view.h"
#include "net/socket/psock.h"

namespace app {

enum class SendStep { Shrinking, Connecting, Uploading, Notifying };

class SendProgress {
public:
    static constexpr std::chrono::milliseconds ShowDelay{1000};

    explicit SendProgress(TMainForm1View& view);

    // A send of fileCount files of totalBytes in all begins, with its connection.
    void Begin(int fileCount, std::int64_t totalBytes);
    // The send moves on to file index (from 0) of the send.
    void StartFile(int index, const std::string& cp932FileName, std::int64_t fileSize);
    // The window follows at once when it is up; otherwise it appears ShowDelay later.
    void SetStep(SendStep step);
    void SetBytesSent(std::int64_t bytes);
    // The file under way goes with another size: a picture shrunk for the send.
    void SetFileSize(std::int64_t fileSize);
    // Takes the window off the screen, or keeps it off, until the next step.
    void Hide();
    bool Visible() const { return shown_.has_value(); }

private:
    void Appear();
    // Passes the contents to the window when it is up and they have changed.
    void Refresh();
    ProgressWindowContents Contents() const;

    TMainForm1View& view_;
    psock::TThreadTimer delay_;
    int fileCount_ = 1;
    std::int64_t totalBytes_ = 0;
    std::string fileLabel_;        // the name, after "(2 / 5) " when there are several
    std::int64_t bytesBefore_ = 0;  // of the files before this one
    std::int64_t fileSize_ = 0;
    std::int64_t bytesSent_ = 0;   // of this file
    SendStep step_ = SendStep::Connecting;
    std::optional<ProgressWindowContents> shown_;  // empty while the window is off the screen
};

// The window's contents at a moment of the send; texts in CP932.
ProgressWindowContents ProgressContents(const std::string& cp932FileName, SendStep step, std::int64_t bytesSent,
                                        std::int64_t fileSize);

}  // namespace app
