#pragma once

#include <string>
#include <vector>

namespace quorvane {

// The pieces that repeated TakeToken(text, delimiter) calls yield while the text is not empty:
// every piece between delimiters (empty ones included) and the text after the last delimiter
// when that is not empty. Matches start only at character boundaries, as SubPos finds them.
// One pass over the text, so a received line of many delimiters costs linear time where
// repeated cutting from the front would cost quadratic time.
std::vector<std::string> SplitLikeTakeToken(const std::string& text, const std::string& delimiter);

}  // namespace quorvane
