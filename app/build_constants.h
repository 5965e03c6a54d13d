#pragma once
// Host names and the carrier domain, fixed when the program is built (CMake cache variables
// MILTE_UPLOAD_HOST, MILTE_INFO_HOST and MILTE_CARRIER_DOMAIN).

namespace app {

inline constexpr const char UploadHost[] = MILTE_UPLOAD_HOST;        // upload, notification, web site
inline constexpr const char InfoHost[] = MILTE_INFO_HOST;            // the maker's web server
inline constexpr const char CarrierDomain[] = MILTE_CARRIER_DOMAIN;  // the carrier list's only item

}  // namespace app
