// Requests made of raw messages.
#include <gtest/gtest.h>

#include "protocol/rpc_request.hpp"

using qs::Json;
using qs::RPCRequest;

TEST(RPCRequest, MethodMustBeTextParamsAnObjectAndIdKeepsItsKind) {
    EXPECT_FALSE(RPCRequest::fromRaw(Json{{"id", 1}}));
    EXPECT_FALSE(RPCRequest::fromRaw(Json{{"id", 1}, {"method", 5}}));
    EXPECT_EQ(RPCRequest::fromRaw(Json{{"method", ""}})->method, "");
    for (const Json& id : {Json(0), Json(""), Json(false), Json(1.5), Json{{"a", 1}}, Json::array()}) {
        auto request = RPCRequest::fromRaw(Json{{"method", "m"}, {"id", id}});
        ASSERT_TRUE(request && request->id) << id.dump();
        EXPECT_EQ(request->id->type(), id.type());
        EXPECT_EQ(*request->id, id);
    }
    EXPECT_FALSE(RPCRequest::fromRaw(Json{{"method", "m"}, {"id", nullptr}})->id);  // a notification
    for (const Json& params : {Json::array({1}), Json("x"), Json(nullptr)}) {
        EXPECT_EQ(RPCRequest::fromRaw(Json{{"method", "m"}, {"params", params}})->params, Json::object()) << params.dump();
    }
    Json params{{"a", Json::array({1, 2})}};
    EXPECT_EQ(RPCRequest::fromRaw(Json{{"method", "m"}, {"params", params}})->params, params);
}
