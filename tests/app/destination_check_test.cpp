#include "app/destination_check.h"

#include <gtest/gtest.h>

#include "platform/cp932.h"

namespace {

using app::CheckDestination;

constexpr const char* Carriers[] = {"docomo.ne.jp", "ezweb.ne.jp", "i.softbank.jp"};

// "<local part>" or "<local part>@<carrier index>" when the text is taken, "refused" when not.
std::string Verdict(std::string_view cp932Text) {
    const auto destination = CheckDestination(cp932Text, Carriers);
    if (!destination) return "refused";
    if (!destination->carrierIndex) return destination->localPart;
    return destination->localPart + "@" + std::to_string(*destination->carrierIndex);
}

TEST(DestinationCheck, TakesALocalPartAsMailAddressesCarryIt) {
    for (const char* localPart : {"taro", "Taro.Yamada", "x+y", "a..b.", ".dot", "0-9_!#$%&'*/=?^`{|}~"})
        EXPECT_EQ(Verdict(localPart), localPart);
}

TEST(DestinationCheck, DropsAsciiAndFullWidthSpacesAroundIt) {
    EXPECT_EQ(Verdict(" \ttaro  "), "taro");
    EXPECT_EQ(Verdict(platform::Cp932("　taro　")), "taro");
}

TEST(DestinationCheck, SplitsAWholeAddressAtAListedDomainInAnyCase) {
    EXPECT_EQ(Verdict("ichiro@ezweb.ne.jp"), "ichiro@1");
    EXPECT_EQ(Verdict(" ichiro@DoCoMo.ne.jp "), "ichiro@0");
    EXPECT_EQ(Verdict("a.b@i.softbank.jp"), "a.b@2");
}

TEST(DestinationCheck, RefusesWhatCannotBeALocalPart) {
    for (const char* text : {"a@b@c", "ichiro@gmail.com", "ichiro@softbank.jp", "@ezweb.ne.jp", "a@b@ezweb.ne.jp",
                             "ichiro@", "@", "ta ro", "ta\tro", "a(b)", "a,b", "a;b", "a:b", "a<b>", "a[b]", "a\\b",
                             "\"a\"", "   ", ""})
        EXPECT_EQ(Verdict(text), "refused") << text;
    // Japanese, full-width letters and a space between them; a double-byte character whose
    // second byte is "@" (the full-width space is 0x81 0x40) is no "@" either.
    for (const char* text : {"山田", "ｔａｒｏ", "ta　ro", "ichiro　ezweb.ne.jp", "taro＠ezweb.ne.jp"})
        EXPECT_EQ(Verdict(platform::Cp932(text)), "refused") << text;
}

}  // namespace
