#include "http/net_text_split.h"

#include "platform/code_page.h"

namespace quorvane {

std::vector<std::string> SplitLikeTakeToken(const std::string& text, const std::string& delimiter) {
    std::vector<std::string> pieces;
    if (delimiter.empty()) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    size_t start = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text.compare(pos, delimiter.size(), delimiter) == 0) {
            pieces.push_back(text.substr(start, pos - start));
            pos += delimiter.size();
            start = pos;
        } else {
            pos += platform::CharLength(text, pos);
        }
    }
    if (start < text.size()) pieces.push_back(text.substr(start));
    return pieces;
}

}  // namespace quorvane
