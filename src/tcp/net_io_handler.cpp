#include "tcp/net_io_handler.h"

#include "tcp/net_stack.h"

namespace quorvane {

void TNetIOHandler::ConnectPeer(const std::string&, int32_t, const std::string&, int32_t, int32_t, int32_t, int32_t) {}

int32_t TNetIOHandler::LastSocketError() { return SocketStack->LastSocketError(); }

}  // namespace quorvane
