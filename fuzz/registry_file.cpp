// The settings store's values file as any damage may leave it: the program's three values read
// as values or as the store's own errors, and a write keeps every value it did not touch.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/registry.h"

namespace {

constexpr const char* SettingsKey = "\\Software\\Varrowen\\iZDQ";

// A hive of its own: the configuration folder points into the scratch folder.
std::filesystem::path ValuesFile() {
    static const std::filesystem::path file = [] {
        ::setenv("XDG_CONFIG_HOME", fuzz::ScratchFolder().c_str(), 1);
        platform::TRegistry registry;
        fuzz::Check(registry.OpenKey(SettingsKey, true), "the settings key opens");
        // Where the store keeps a key's values under the configuration folder.
        return std::filesystem::path(fuzz::ScratchFolder()) / "milte-post/registry/Software/Varrowen/iZDQ/.values";
    }();
    return file;
}

std::optional<std::string> ReadString(const platform::TRegistry& registry, const char* name) {
    try {
        return registry.ReadString(name);
    } catch (const platform::ERegistryException&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::Bytes(data, size);
    std::ofstream(ValuesFile(), std::ios::binary | std::ios::trunc) << bytes;

    platform::TRegistry registry;
    fuzz::Check(registry.OpenKey(SettingsKey, false), "the settings key opens");
    const auto mail = ReadString(registry, "MAIL1");
    try {
        registry.ReadInteger("MAIL2");
    } catch (const platform::ERegistryException&) {
        // missing, or not a 32-bit integer
    }

    // Any bytes go into a value and come back to their first zero byte, and a value read from an
    // intact file survives the write of another.
    registry.WriteString("NAME", bytes);
    fuzz::Check(ReadString(registry, "NAME") == bytes.substr(0, bytes.find('\0')), "a written string reads back");
    if (mail && !mail->empty()) {
        fuzz::Check(ReadString(registry, "MAIL1") == mail, "a write keeps the other values");
    }
    return 0;
}
