#pragma once
// The check on the destination's local part when the settings are saved: what the field holds
// may carry spaces around it, or be the whole address; what cannot be the part of a mail address
// before its "@" is refused.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace app {

struct Destination {
    std::string localPart;            // CP932, without the spaces around it
    std::optional<int> carrierIndex;  // the listed carrier a whole address named
};

// The field's text as it is saved. Spaces (ASCII blanks and the full-width space) around it are
// dropped; a whole address whose domain is one of carrierDomains (in any letter case) is split
// at its last "@". nullopt when what remains is not a local part.
std::optional<Destination> CheckDestination(std::string_view cp932Text, std::span<const char* const> carrierDomains);

// One or more of the characters a mail address may carry before its "@" without quoting: ASCII
// letters and digits, "!#$%&'*+-/=?^_`{|}~", and dots anywhere (Japanese carriers have handed
// out addresses with dots in a row or just before the "@").
bool IsMailLocalPart(std::string_view text);

}  // namespace app
