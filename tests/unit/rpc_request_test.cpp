// Requests made of raw messages, and the lenient argument accessors.
#include <gtest/gtest.h>

#include <cstdint>  // INT64_MAX, INT64_MIN

#include "protocol/rpc_request.hpp"

using qs::Json;
using qs::RPCError;
using qs::RPCRequest;

namespace {

// A request whose params hold one member "k".
RPCRequest with(const Json& value) {
    RPCRequest request;
    request.params = Json{{"k", value}};
    return request;
}

}  // namespace

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

TEST(RPCRequest, RequiredStringTakesAnyNonEmptyText) {
    EXPECT_EQ(with(" ").requiredString("k"), " ");
    for (const Json& bad : {Json(""), Json(5), Json(nullptr), Json::array({"a"})}) {
        try {
            with(bad).requiredString("k");
            ADD_FAILURE() << "accepted " << bad.dump();
        } catch (const RPCError& e) {
            EXPECT_EQ(e.code, -32602);
            EXPECT_EQ(e.message, "缺少必填参数 `k`(非空字符串)");
        }
    }
}

TEST(RPCRequest, OptionalStringNeedsSomethingBesidesBlanks) {
    EXPECT_EQ(with(" a ").optionalString("k"), " a ");
    for (const Json& absent : {Json(""), Json("  \t\n"), Json("\u3000\u00a0"), Json(1), Json(nullptr)}) {
        EXPECT_FALSE(with(absent).optionalString("k")) << absent.dump();
    }
    EXPECT_FALSE(with("x").optionalString("K"));  // keys are case-sensitive
}

TEST(RPCRequest, OptionalIntConversions) {
    const std::pair<Json, int64_t> cases[] = {
        {12, 12},       {"12", 12},       {"+12", 12},    {"-12", -12},  {12.9, 12},   {-7.9, -7},
        {true, 1},      {false, 0},       {" 12", 99},    {"12abc", 99}, {"1e3", 99},  {"12.0", 99},
        {"", 99},       {"+", 99},        {"--1", 99},    {nullptr, 99}, {Json::array({1}), 99},
        {"9223372036854775807", INT64_MAX}, {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", 99},        // past the 64-bit range
        {1e300, INT64_MAX}, {-1e300, INT64_MIN}, {Json(18446744073709551615ULL), INT64_MAX},  // saturating
    };
    for (const auto& [value, expected] : cases) EXPECT_EQ(with(value).optionalInt("k", 99), expected) << value.dump();
    EXPECT_EQ(RPCRequest().optionalInt("k", -4), -4);
}

TEST(RPCRequest, OptionalBoolConversions) {
    struct Case {
        Json value;
        bool defaultValue, expected;
    } cases[] = {
        {true, false, true}, {false, true, false}, {0, true, false},   {-1, false, true},
        {2.0, false, true},  {0.5, false, false},  {0.5, true, true},  {"true", false, false}, {nullptr, true, true},
    };
    for (const auto& c : cases) EXPECT_EQ(with(c.value).optionalBool("k", c.defaultValue), c.expected) << c.value.dump();
}

TEST(RPCRequest, OptionalStringArrayKeepsTextElementsInOrder) {
    EXPECT_EQ(with(Json::array({"a", 1, "", nullptr, " b "})).optionalStringArray("k"),
              (std::vector<std::string>{"a", "", " b "}));
    EXPECT_TRUE(with("a").optionalStringArray("k").empty());
    EXPECT_TRUE(RPCRequest().optionalStringArray("k").empty());
}
