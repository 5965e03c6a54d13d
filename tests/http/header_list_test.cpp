// The header-line list: lookup, replacement and removal by name.

#include <gtest/gtest.h>

#include "net/http/nmextstr.h"
#include "platform/runtime.h"

namespace {

using nmextstr::TExStringList;

TEST(HeaderList, SetHeaderAppendsThenReplacesInPlaceWithTheNewName) {
    TExStringList list;
    list.Add("GET / HTTP/1.0");
    list.SetHeader("Host", "h");
    list.SetHeader("Accept", "*/*");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[1], "Host: h");
    list.SetHeader("HOST", "k");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[1], "HOST: k");
    EXPECT_EQ(list.Text(), "GET / HTTP/1.0\r\nHOST: k\r\nAccept: */*\r\n");
}

TEST(HeaderList, EmptyValueRemovesTheLineOrDoesNothing) {
    TExStringList list;
    list.Add("Cookie: x");
    list.Add("Host: h");
    list.SetHeader("Cookie", "");
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list[0], "Host: h");
    list.SetHeader("Cookie", "");
    EXPECT_EQ(list.Count(), 1);
}

TEST(HeaderList, NameIsTheExactTextBeforeTheFirstColon) {
    TExStringList list;
    EXPECT_EQ(list.IndexOfHeader("Host"), -1);
    list.Add("GET http://h/ HTTP/1.0");  // its name is "GET http"
    list.Add("Host : spaced");
    list.Add("Host no colon");
    list.Add("host: lower");
    list.Add("Host: second");
    EXPECT_EQ(list.IndexOfHeader("Host"), 3);
    EXPECT_EQ(list.IndexOfHeader("GET http"), 0);
    EXPECT_EQ(list.IndexOfHeader("GET"), -1);
    EXPECT_EQ(list.IndexOfHeader(""), -1);
    list.Add(": no name");
    EXPECT_EQ(list.IndexOfHeader(""), 5);
}

TEST(HeaderList, CaseFoldingLeavesDoubleByteCharactersAlone) {
    // 0x83 0x61 and 0x83 0x41 are two different katakana; only ASCII letters fold.
    EXPECT_FALSE(nmextstr::SameTextCp932("\x83\x61", "\x83\x41"));
    EXPECT_TRUE(nmextstr::SameTextCp932("X-\x83\x61", "x-\x83\x61"));
    EXPECT_TRUE(nmextstr::SameTextCp932("Content-Length", "CONTENT-LENGTH"));
    EXPECT_FALSE(nmextstr::SameTextCp932("Host", "Hosts"));
}

TEST(HeaderList, DeleteOutsideTheListThrows) {
    TExStringList list;
    list.Add("a");
    EXPECT_THROW(list.Delete(1), platform::Exception);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Text(), "");
}

}  // namespace
