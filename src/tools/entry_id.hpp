// The "id" argument of the entry tools, vetted before it becomes a file name.
#pragma once

#include <string>  // std::string

#include "protocol/rpc_request.hpp"

namespace qs {

// requiredString("id"), then the single-path-component check: an id that
// could reach outside its folder fails with a ToolFailure naming it.
std::string requireEntryId(const RPCRequest& request);

}  // namespace qs
