// The floor every index-reading call is compared with, the least a read can
// cost: the file read into a reused buffer, then walked once with simdjson.
#pragma once

#include <cstddef>      // std::size_t
#include <fstream>      // std::ifstream
#include <stdexcept>    // std::runtime_error
#include <string>       // std::string
#include <string_view>  // std::string_view

#include <simdjson.h>

namespace qs::Bench {

// Keeps its file buffer and parsers across runs, so a run costs the read and
// the walk, not fresh page faults: the conditions a careful server has.
// Each run throws std::runtime_error on an unreadable or malformed file.
class FloorReader {
public:
    // Reads Dashboard.json afresh and touches every field a feed item needs
    // (strings unescaped); returns the number of items walked.
    std::size_t walkDashboard(const std::string& path) {
        namespace od = simdjson::ondemand;
        std::size_t size = load(path), items = 0;
        auto touch = [this](auto value) {
            std::string_view s;
            if (!value.get_string().get(s)) checksum_ += s.size();
        };
        try {
            od::document doc = parser_.iterate(buffer_.data(), size, buffer_.size() + simdjson::SIMDJSON_PADDING);
            for (auto field : doc.get_object()) {
                std::string_view key = field.unescaped_key();
                if (key == "updatedAt") touch(field.value());
                if (key != "feedItems") continue;
                for (auto element : field.value().get_array()) {
                    od::object item;
                    if (element.get_object().get(item)) continue;
                    ++items;
                    for (auto member : item) {  // the keys a reader building feed items must see
                        std::string_view name = member.unescaped_key();
                        od::value value = member.value();
                        if (name == "id" || name == "type" || name == "date" || name == "title" || name == "content" ||
                            name == "source" || name == "outputRelPath" || name == "processingState") {
                            touch(value);
                        } else if (name == "tags" || name == "people" || name == "projects" ||
                                   name == "extractedTasks") {
                            od::array list;
                            if (value.get_array().get(list)) continue;
                            for (auto text : list) touch(text);
                        } else if (double d = 0; name == "importance" && !value.get_double().get(d)) {
                            checksum_ += static_cast<std::size_t>(d);
                        }
                    }
                }
            }
        } catch (const simdjson::simdjson_error& e) {
            throw std::runtime_error(path + ": " + e.what());
        }
        return items;
    }

private:
    // One read straight into the buffer: a request this large bypasses the stream's own buffer.
    std::size_t load(const std::string& path) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        auto size = static_cast<std::size_t>(in ? static_cast<std::streamoff>(in.tellg()) : 0);
        if (buffer_.size() < size) buffer_ = simdjson::padded_string(size + size / 8);  // room to grow
        if (!in || !in.seekg(0).read(buffer_.data(), static_cast<std::streamsize>(size))) {
            throw std::runtime_error("cannot read " + path);
        }
        return size;
    }

    simdjson::padded_string buffer_;
    simdjson::ondemand::parser parser_;
    std::size_t checksum_ = 0;  // grows with every text touched, so the compiler cannot drop the work
};

}  // namespace qs::Bench
