// minutes_write: not built yet; answers as an unknown tool until it is.
#include "protocol/rpc_error.hpp"
#include "tools/write_tools.hpp"

namespace qs::WriteTools {

Json minutes(const RPCRequest&, const Vault&) { throw RPCError(-32601, "没有名为 minutes_write 的工具"); }

}  // namespace qs::WriteTools
