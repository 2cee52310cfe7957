// The vault as resources a host can attach (the daily reports, each
// recording's minutes and transcript, under quillstack:// URIs) and the views
// the tools name (ui:// URIs), read through the very tools that serve them.
#pragma once

#include <stdexcept>    // std::runtime_error
#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "tools/tool.hpp"

namespace qs::Resources {

// A URI that names nothing of ours, or nothing the vault holds now; the
// message says which (the tool's own words where a tool refused).
struct Missing : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A list cursor this server did not hand out.
struct BadCursor : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One page of the recent resources, newest first: "resources" and, while
// more follow, "nextCursor". An empty cursor asks for the first page.
Json list(ToolContext& context, std::string_view cursor);

// "resourceTemplates": the URI shapes list() and read() share.
Json templates();

// "contents" of the resource at `uri`: one text item with its URI and mime type.
Json read(ToolContext& context, std::string_view uri);

// Whether `uri` names one of the views built into the binary, whose content
// is the same for everyone for the life of the process.
bool isView(std::string_view uri);

}  // namespace qs::Resources
