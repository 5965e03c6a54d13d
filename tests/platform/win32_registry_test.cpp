// The Windows store is the real registry: what the program writes is a value the system's own
// tools show, and a value written from outside reads back as the bytes the ANSI functions would
// give on a Japanese system.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/cp932.h"

#include <windows.h>  // after the platform's headers, whose constants its macros would rename

namespace {

// A key of this test run's own under HKEY_CURRENT_USER.
std::string TestKey() { return "Software\\Varrowen\\MiltePostTest" + std::to_string(::GetCurrentProcessId()); }

// Runs the system's reg.exe and returns what it printed.
std::string RunReg(const std::wstring& arguments) {
    std::string output;
    FILE* pipe = ::_wpopen((L"reg " + arguments + L" 2>&1").c_str(), L"rt");
    if (pipe == nullptr) return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    ::_pclose(pipe);
    return output;
}

std::wstring WideKey() {
    const std::string key = TestKey();
    return L"HKCU\\" + std::wstring(key.begin(), key.end());
}

TEST(Win32Registry, Cp932NamesAndStringsKeepTheirBytesAndTheIntegerIsADword) {
    // 表 ends in the byte of "\": a conversion by the wrong code page would split it.
    const std::string name = platform::Cp932("名前");
    const std::string value = platform::Cp932("ミルテ・ポスト表");
    platform::TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\" + TestKey(), true));
    registry.WriteString(name, value);
    registry.WriteString("MAIL1", "zdq");
    registry.WriteInteger("MAIL2", -1);
    registry.CloseKey();

    ASSERT_TRUE(registry.OpenKey("\\" + TestKey(), true));
    EXPECT_EQ(registry.ReadString(name), value);
    EXPECT_EQ(registry.ReadInteger("MAIL2"), -1);

    const std::string shown = RunReg(L"query " + WideKey());
    EXPECT_NE(shown.find("MAIL1    REG_SZ    zdq"), std::string::npos) << shown;
    EXPECT_NE(shown.find("MAIL2    REG_DWORD    0xffffffff"), std::string::npos) << shown;
}

TEST(Win32Registry, AJapaneseValueWrittenFromOutsideReadsAsItsCp932Bytes) {
    RunReg(L"add " + WideKey() + L" /v NAME /t REG_SZ /d \u30DF\u30EB\u30C6\u8868 /f");
    platform::TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\" + TestKey(), true));
    EXPECT_EQ(registry.ReadString("NAME"), "\x83\x7E\x83\x8B\x83\x65\x95\x5C");  // ミルテ表 in CP932
    RunReg(L"delete " + WideKey() + L" /f");
}

}  // namespace
