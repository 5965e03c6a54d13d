#pragma once
// Host names and the carrier list, fixed when the program is built (CMake cache variables
// MILTE_UPLOAD_HOST, MILTE_INFO_HOST and MILTE_CARRIER_DOMAINS).

namespace app {

inline constexpr const char UploadHost[] = MILTE_UPLOAD_HOST;  // upload, notification, web site
inline constexpr const char InfoHost[] = MILTE_INFO_HOST;      // the maker's web server

// The mail domains of the carriers the destination list offers, in its order. The stored MAIL2
// is an index into it, so the first one is what a stored 0 has always meant.
inline constexpr const char* const CarrierDomains[] = {MILTE_CARRIER_DOMAINS};

}  // namespace app
