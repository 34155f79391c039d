#pragma once

// What the socket library's parts share. Unlike socket_core.h this header brings in the C
// library's declarations, so the file that defines the entry points never includes it.

#include <sys/socket.h>
#include <sys/types.h>

#include "platform/socket/socket_core.h"

namespace quorvane::platform::sockcore {

// The C library's functions that share a name with one of our entry points. Calling them by
// their plain names from inside this library could land in our own entry point (version
// script, symbolic binding), so they are taken from the C library's own handle.
struct LibcCalls {
    int (*socket)(int, int, int);
    int (*bind)(int, const sockaddr*, socklen_t);
    int (*connect)(int, const sockaddr*, socklen_t);
    int (*listen)(int, int);
    ssize_t (*recv)(int, void*, size_t, int);
    ssize_t (*recvfrom)(int, void*, size_t, int, sockaddr*, socklen_t*);
    ssize_t (*send)(int, const void*, size_t, int);
    ssize_t (*sendto)(int, const void*, size_t, int, const sockaddr*, socklen_t);
    int (*setsockopt)(int, int, int, const void*, socklen_t);
    int (*getsockopt)(int, int, int, void*, socklen_t*);
    int (*shutdown)(int, int);
    int (*getpeername)(int, sockaddr*, socklen_t*);
    int (*getsockname)(int, sockaddr*, socklen_t*);
    int (*gethostname)(char*, size_t);
};

const LibcCalls& Libc();

// Records code as the calling thread's last error and gives the calls' failure result.
inline int Fail(int code) {
    SetLastError(code);
    return sockapi::kSocketError;
}

// True once the library has been started; otherwise the last error says it has not.
bool Started();

}  // namespace quorvane::platform::sockcore
