#include "support/first_line.h"

#include <poll.h>
#include <unistd.h>

namespace quorvane::testing {

std::string ReadFirstLine(int fd, std::chrono::milliseconds limit) {
    std::string line;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        line.append(chunk, static_cast<size_t>(n));
    }
    return line;
}

}  // namespace quorvane::testing
