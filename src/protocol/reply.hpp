// The one place a reply line is made: a result or an error, with the id's own text.
#pragma once

#include <string>   // std::string
#include <variant>  // std::variant

#include "json/json.hpp"
#include "protocol/rpc_error.hpp"
#include "protocol/rpc_request.hpp"

namespace qs {

// What a request comes to: its result object, or a JSON-RPC error.
using Outcome = std::variant<Json, RPCError>;

// The compact reply line, without its line end. A result the wire form
// refuses (a non-finite number) becomes the internal error, logged, with the same id.
std::string replyLine(const RequestId& id, const Outcome& outcome);

}  // namespace qs
