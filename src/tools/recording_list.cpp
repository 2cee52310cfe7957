// recording_list: not built yet; answers as an unknown tool until it is.
#include "protocol/rpc_error.hpp"
#include "tools/read_tools.hpp"

namespace qs::ReadTools {

Json recordingList(const RPCRequest&, const Vault&) { throw RPCError(-32601, "没有名为 recording_list 的工具"); }

}  // namespace qs::ReadTools
