#pragma once
// A fresh folder for one test, removed afterwards, optionally serving as the user's
// configuration directory (where the registry lives).

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "milte-app-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Points XDG_CONFIG_HOME at a fresh folder while it lives.
class TempConfigHome {
public:
    TempConfigHome() {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
        ::setenv("XDG_CONFIG_HOME", folder_.Path().c_str(), 1);
    }
    ~TempConfigHome() {
        if (old_) ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else ::unsetenv("XDG_CONFIG_HOME");
    }
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    const std::filesystem::path& Path() const { return folder_.Path(); }
    // Where the settings key keeps its values.
    std::filesystem::path SettingsFolder() const { return Path() / "milte-post/registry/Software/Varrowen/iZDQ"; }

private:
    TempFolder folder_;
    std::optional<std::string> old_;
};
