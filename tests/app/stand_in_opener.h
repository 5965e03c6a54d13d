#pragma once
// The desktop's URL opener (xdg-open) as a test wants it: missing, or a stand-in that writes down
// the URL it was given.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/app/test_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/testbed.h"

// PATH names only a fresh folder of the test's own while it lives: no opener unless put there.
class OwnPath {
public:
    OwnPath() { environment_.Set("PATH", folder_.path().c_str()); }
    const std::filesystem::path& Folder() const { return folder_.path(); }

private:
    testsupport::TempDir folder_;
    ScopedEnvironment environment_;
};

// An opener that writes down the URL it was given: at once, or only once the test releases it
// (so a caller that waited for it would never return).
class StandInOpener {
public:
    enum class Start { AtOnce, WhenReleased };

    explicit StandInOpener(Start start = Start::AtOnce) {
        const auto opener = path_.Folder() / "xdg-open";
        std::ofstream(opener)
            << "#!/bin/sh\nwhile [ ! -e '" << Go() << "' ]; do /bin/sleep 0.01; done\n"
            << "printf '%s' \"$1\" > '" << Record() << ".tmp' && /bin/mv '" << Record() << ".tmp' '" << Record() << "'\n";
        std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
        if (start == Start::AtOnce) Release();
    }

    void Release() const { std::ofstream(Go()).put('x'); }

    // The URL the opener wrote down (waiting up to 5 s for it), forgotten so the next can come.
    std::string NextUrl() const {
        using namespace std::chrono_literals;
        for (int i = 0; i < 500 && !std::filesystem::exists(Record()); ++i) std::this_thread::sleep_for(10ms);
        std::string url = testsupport::ReadFileBytes(Record());
        std::filesystem::remove(Record());
        return url;
    }

private:
    std::string Go() const { return (path_.Folder() / "go").string(); }
    std::string Record() const { return (path_.Folder() / "opened").string(); }

    OwnPath path_;
};
