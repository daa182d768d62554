#pragma once
// The notices that account for what an action did not do: the objects a
// conversion left out, the pictures an analysis did not rename, a log that
// could not be written. Each is one "Warning" box whose details list the
// first items, then how many more there are.
#include <cstdint>
#include <string>
#include <vector>

#include "state/session.hpp"

namespace trevanix {

// Details listed in one box; the rest is counted.
inline constexpr std::size_t listed_details = 20;

// The text every left-out notice begins with.
inline constexpr const char* left_out_notice_start = "Some objects that passed the analysis were not written";

Message left_out_notice(const ConversionReport& report, std::int64_t passed);
Message unrenamed_pictures_notice(const std::vector<UnrenamedPicture>& pictures);
Message log_failure_notice(const ErrorLog& log);

// "and N more." when `total` exceeds the items listed.
void add_remainder(std::vector<std::string>& details, std::int64_t total);

} // namespace trevanix
