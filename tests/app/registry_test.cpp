#include "platform/registry.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/cp932.h"
#include "tests/app/test_environment.h"
#include "tests/support/testbed.h"

namespace {

using platform::RegistryKey;
using platform::RegistryValue;
using platform::TRegistry;
using testsupport::ReadFileBytes;

// How many entries the folder holds.
std::ptrdiff_t EntryCount(const std::filesystem::path& folder) {
    return std::distance(std::filesystem::directory_iterator(folder), {});
}

TEST(Registry, OpeningCreatesTheKeyEmptyAndDropsTheLeadingBackslash) {
    TempConfigHome home;
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\Varrowen\\iZDQ", true));
    EXPECT_TRUE(std::filesystem::is_directory(home.SettingsFolder()));
    EXPECT_EQ(registry.ReadString("NAME"), "");
    EXPECT_THROW(registry.ReadInteger("MAIL2"), platform::ERegistryException);
    EXPECT_FALSE(std::filesystem::exists(home.SettingsFolder() / ".values"));
}

TEST(Registry, ValuesKeepTheirTypesAndBytesAcrossOpenings) {
    TempConfigHome home;
    // 表 ends in 0x5C, ～ is a CP932-only mapping; a tab, a backslash and a high byte as well.
    const std::string name = platform::Cp932("表示 ～テスト") + "\t\\\xFC";
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(SettingsKey, true));
        registry.WriteString("NAME", name);
        registry.WriteString("MAIL1", "user.name");
        registry.WriteInteger("MAIL2", -1);
    }
    RegistryKey key(SettingsKey);
    auto stored = key.QueryValue("NAME");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, platform::REG_SZ);
    EXPECT_EQ(stored->data, name + '\0');  // the terminating zero is stored
    auto mail2 = key.QueryValue("MAIL2");
    ASSERT_TRUE(mail2);
    EXPECT_EQ(mail2->type, platform::REG_DWORD);
    EXPECT_EQ(mail2->data, std::string("\xFF\xFF\xFF\xFF", 4));

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(SettingsKey, false));
    EXPECT_EQ(registry.ReadString("NAME"), name);
    EXPECT_EQ(registry.ReadString("MAIL1"), "user.name");
    EXPECT_EQ(registry.ReadInteger("MAIL2"), -1);
}

TEST(Registry, TheValuesFileIsEscapedTextOneValuePerLine) {
    TempConfigHome home;
    RegistryKey key(SettingsKey);
    ASSERT_TRUE(key.SetValue("NAME", RegistryValue{platform::REG_SZ, std::string("A b\\\x95\x5C", 6) + '\0'}));
    ASSERT_TRUE(key.SetValue("MAIL2", RegistryValue{platform::REG_DWORD, std::string("\x05\0\0\0", 4)}));
    EXPECT_EQ(ReadFileBytes(home.SettingsFolder() / ".values"),
              "milte-registry 1\n"
              "MAIL2\t4\t\\x05\\x00\\x00\\x00\n"
              "NAME\t1\tA\\x20b\\x5C\\x95\\x5C\\x00\n");
    // Nothing but the values file is left behind by the writes.
    EXPECT_EQ(EntryCount(home.SettingsFolder()), 1);
}

TEST(Registry, StringReadsFollowTypeAndSizeRules) {
    TempConfigHome home;
    RegistryKey key("K");
    key.SetValue("Expand", RegistryValue{platform::REG_EXPAND_SZ, std::string("ab\0cd\0", 6)});
    key.SetValue("Empty", RegistryValue{platform::REG_DWORD, ""});
    key.SetValue("Number", RegistryValue{platform::REG_DWORD, std::string("\x01\0\0\0", 4)});
    key.SetValue("Text", RegistryValue{platform::REG_SZ, std::string("7\0", 2)});
    TRegistry registry;
    registry.OpenKey("K", true);
    EXPECT_EQ(registry.ReadString("Expand"), "ab");  // up to the first zero byte
    EXPECT_EQ(registry.ReadString("Empty"), "");     // size 0 reads empty whatever its type
    EXPECT_THROW(registry.ReadString("Number"), platform::ERegistryException);
    EXPECT_THROW(registry.ReadInteger("Text"), platform::ERegistryException);
    EXPECT_EQ(registry.ReadInteger("Number"), 1);
}

TEST(Registry, ADamagedStoreReadsAsAKeyWithoutValues) {
    TempConfigHome home;
    const auto values = home.SettingsFolder() / ".values";
    std::filesystem::create_directories(home.SettingsFolder());
    for (const std::string damaged : {"milte-registry 1\nNAME\t1\tab\\x0", "milte-registry 1\nNAME\t1\n",
                                      "milte-registry 9\nNAME\t1\tab\\x00\n", "milte-registry 1\nNAME\tsz\tab\n",
                                      "milte-registry 1\nMAIL1\t1\tok\\x00\nNAME\t1\tbad byte\\x00\n"}) {
        std::ofstream(values, std::ios::binary) << damaged;
        RegistryKey key(SettingsKey);
        EXPECT_FALSE(key.QueryValue("NAME")) << damaged;
        EXPECT_FALSE(key.QueryValue("MAIL1")) << damaged;
    }
    // A store that cannot be read at all (a folder where the file belongs) reads the same.
    std::filesystem::remove(values);
    std::filesystem::create_directory(values);
    TRegistry registry;
    EXPECT_TRUE(registry.OpenKey(SettingsKey, true));
    EXPECT_EQ(registry.ReadString("NAME"), "");
}

TEST(Registry, ARefusedWriteNamesTheValue) {
    TempConfigHome home;
    home.BlockTheSettingsKey();
    TRegistry registry;
    EXPECT_FALSE(registry.OpenKey("\\Software\\Varrowen\\iZDQ", true));
    try {
        registry.WriteString("NAME", "x");
        FAIL() << "the write was not refused";
    } catch (const platform::ERegistryException& failure) {
        EXPECT_EQ(failure.Message(), platform::Cp932("'NAME' の設定に失敗しました"));
    }
    EXPECT_THROW(registry.WriteInteger("MAIL2", 0), platform::ERegistryException);
}

TEST(Registry, AWriteThatCannotReplaceTheFileLeavesTheOldValues) {
    TempConfigHome home;
    {
        RegistryKey key(SettingsKey);
        ASSERT_TRUE(key.SetValue("NAME", RegistryValue{platform::REG_SZ, std::string("old\0", 4)}));
    }
    // Renaming over a non-empty folder fails, as a full disk or a read-only store would.
    const auto values = home.SettingsFolder() / ".values";
    const std::string before = ReadFileBytes(values);
    std::filesystem::rename(values, home.Path() / "saved");
    std::filesystem::create_directories(values / "blocker");
    RegistryKey key(SettingsKey);
    EXPECT_FALSE(key.SetValue("NAME", RegistryValue{platform::REG_SZ, std::string("new\0", 4)}));
    // No temporary file is left behind.
    EXPECT_EQ(EntryCount(home.SettingsFolder()), 1);
    std::filesystem::remove_all(values);
    std::filesystem::rename(home.Path() / "saved", values);
    EXPECT_EQ(ReadFileBytes(values), before);
}

TEST(Registry, KeyNamesBecomeSafeFolderNames) {
    TempConfigHome home;
    const std::string japanese = platform::Cp932("設定");
    RegistryKey key(".hidden\\" + japanese + "\\a/b");
    ASSERT_TRUE(key.IsOpen());
    EXPECT_TRUE(std::filesystem::is_directory(home.Path() / "milte-post/registry/%2Ehidden/%90%DD%92%E8/a%2Fb"));
    EXPECT_FALSE(RegistryKey("a\\\\b").IsOpen());  // an empty key name
}

}  // namespace
