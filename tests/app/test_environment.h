#pragma once
// Environment variables changed for one test and put back afterwards, and a fresh configuration
// directory (where the registry lives) for one test.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

// The key the program keeps its settings under.
inline constexpr char SettingsKey[] = "Software\\Varrowen\\iZDQ";

// Sets or removes variables; every variable it touched gets its old value back when it goes.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // value null removes the variable.
    void Set(const std::string& name, const char* value) {
        if (!saved_.contains(name)) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) ::setenv(name.c_str(), value, 1);
        else ::unsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

// Points XDG_CONFIG_HOME at a fresh folder while it lives.
class TempConfigHome {
public:
    TempConfigHome() { environment_.Set("XDG_CONFIG_HOME", folder_.path().c_str()); }

    const std::filesystem::path& Path() const { return folder_.path(); }
    // Where the settings key keeps its values.
    std::filesystem::path SettingsFolder() const { return Path() / "milte-post/registry/Software/Varrowen/iZDQ"; }
    // A file where the settings key's folder belongs: the key cannot be opened, every write fails.
    void BlockTheSettingsKey() const {
        std::filesystem::create_directories(Path() / "milte-post/registry");
        std::ofstream(Path() / "milte-post/registry/Software") << "in the way";
    }

private:
    testsupport::TempDir folder_;
    ScopedEnvironment environment_;
};
