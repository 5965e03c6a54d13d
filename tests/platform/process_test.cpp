#include "platform/process.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(Process, ExecutablePathNamesThisTestProgram) {
    const std::string utf8 = platform::ExecutablePath();
    const std::filesystem::path path = std::u8string(utf8.begin(), utf8.end());
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    EXPECT_EQ(path.stem(), "test_platform");
}

TEST(Process, ArgumentsBeginWithTheProgram) {
    char program[] = "test_platform";
    char* argv[] = {program, nullptr};
    const auto arguments = platform::ProgramArguments(1, argv);
    ASSERT_FALSE(arguments.empty());
    EXPECT_NE(arguments[0].find("test_platform"), std::string::npos);
}

}  // namespace
