// The form-data encoder and the Base64 / uuencode processor.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "net/http/nmurl.h"
#include "net/http/nmuue.h"

namespace {

using nmuue::UUMethods;

std::string UrlEncode(const std::string& text) {
    nmurl::TNMURL encoder;
    encoder.InputString = text;
    return encoder.Encode();
}

TEST(UrlEncoder, KeepsLettersAndDigitsAndEscapesEverythingElse) {
    EXPECT_EQ(UrlEncode(""), "");
    EXPECT_EQ(UrlEncode("a b"), "a+b");
    EXPECT_EQ(UrlEncode("x=1&y=2"), "x%3D1%26y%3D2");
    EXPECT_EQ(UrlEncode("\t"), "%09");
    EXPECT_EQ(UrlEncode("\xFF"), "%FF");
    EXPECT_EQ(UrlEncode("AZaz09"), "AZaz09");
    EXPECT_EQ(UrlEncode("-._*~/"), "%2D%2E%5F%2A%7E%2F");
    EXPECT_EQ(UrlEncode(std::string("a\0b", 3)), "a%00b");
}

TEST(UrlEncoder, EscapesEachByteOfADoubleByteCharacter) {
    EXPECT_EQ(UrlEncode("\x95\x5C"), "%95%5C");  // "表", whose trail byte is a backslash
}

TEST(UrlEncoder, HandlesInputsBeyondSixtyFourKilobytes) {
    const std::string input(70000, '&');
    const std::string encoded = UrlEncode(input);
    ASSERT_EQ(encoded.size(), 3u * input.size());
    EXPECT_EQ(encoded.substr(encoded.size() - 6), "%26%26");
}

TEST(UuProcessor, MimeIsPaddedBase64) {
    EXPECT_EQ(nmuue::EncodeBytes("abc", UUMethods::uuMime), "YWJj\r\n");
    EXPECT_EQ(nmuue::EncodeBytes("a", UUMethods::uuMime), "YQ==\r\n");
    EXPECT_EQ(nmuue::EncodeBytes("ab", UUMethods::uuMime), "YWI=\r\n");
    EXPECT_EQ(nmuue::EncodeBytes("", UUMethods::uuMime), "");
    EXPECT_EQ(nmuue::EncodeBytes("Aladdin:open sesame", UUMethods::uuMime), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==\r\n");
    EXPECT_EQ(nmuue::EncodeBytes(std::string("\xFF\xFE\x00", 3), UUMethods::uuMime), "//4A\r\n");
}

TEST(UuProcessor, MimeBreaksLinesAfterFortyFiveBytes) {
    const std::string encoded = nmuue::EncodeBytes(std::string(46, 'x'), UUMethods::uuMime);
    const auto firstEnd = encoded.find("\r\n");
    ASSERT_EQ(firstEnd, 60u);
    EXPECT_EQ(encoded.substr(62), "eA==\r\n");
    EXPECT_EQ(nmuue::EncodeBytes(std::string(90, 'x'), UUMethods::uuMime).size(), 2u * 62u);
}

TEST(UuProcessor, UuCodeCarriesLengthCharacterAndClosingLine) {
    EXPECT_EQ(nmuue::EncodeBytes("abc", UUMethods::uuCode), "#86)C\r\n`\r\n");
    EXPECT_EQ(nmuue::EncodeBytes("", UUMethods::uuCode), "`\r\n");
    EXPECT_EQ(nmuue::EncodeBytes("a", UUMethods::uuCode), "!80\r\n`\r\n");  // no padding
    const std::string full = nmuue::EncodeBytes(std::string(45, '\0'), UUMethods::uuCode);
    EXPECT_EQ(full, "M" + std::string(60, '`') + "\r\n`\r\n");
}

TEST(UuProcessor, ReadsFromTheStartAndLeavesOutputAtZeroWithEventsAroundIt) {
    std::istringstream in("abc");
    in.get();  // a stream already read from is still encoded from its start
    std::stringstream out;
    out << "prefix:";
    std::vector<std::string> calls;
    nmuue::TNMUUProcessor processor;
    processor.InputStream = &in;
    processor.OutputStream = &out;
    processor.OnBeginEncode = [&](platform::TObject* sender) {
        EXPECT_EQ(sender, &processor);
        calls.push_back("begin");
    };
    processor.OnEndEncode = [&](platform::TObject*) { calls.push_back("end"); };
    processor.Encode();
    EXPECT_EQ(calls, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(out.tellp(), 0);
    std::string all((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "prefix:YWJj\r\n");
}

}  // namespace
