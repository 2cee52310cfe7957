// The least a read can cost, over a reused buffer: an on-demand walk of the
// index's item fields, one whole DOM parse of any other file.
#include "floor_parse.hpp"

#include <cerrno>      // errno
#include <fcntl.h>     // open
#include <stdexcept>   // std::runtime_error
#include <string_view> // std::string_view
#include <sys/stat.h>  // fstat
#include <unistd.h>    // read, close

namespace qs::Bench {
namespace od = simdjson::ondemand;

namespace {

void touchString(od::value value, std::size_t& sum) {
    std::string_view s;
    if (!value.get_string().get(s)) sum += s.size();
}

void touchStrings(od::value value, std::size_t& sum) {
    od::array array;
    if (value.get_array().get(array)) return;
    for (auto element : array) {
        std::string_view s;
        if (!element.get_string().get(s)) sum += s.size();
    }
}

// The feed item keys, as a reader building items must see them.
void touchItem(od::object item, std::size_t& sum) {
    for (auto field : item) {
        std::string_view key = field.unescaped_key();
        od::value value = field.value();
        if (key == "id" || key == "type" || key == "date" || key == "title" || key == "content" || key == "source" ||
            key == "outputRelPath" || key == "processingState") {
            touchString(value, sum);
        } else if (key == "tags" || key == "people" || key == "projects" || key == "extractedTasks") {
            touchStrings(value, sum);
        } else if (key == "importance") {
            double d = 0;
            if (!value.get_double().get(d)) sum += static_cast<std::size_t>(d);
        }
    }
}

}  // namespace

std::size_t FloorReader::load(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot stat " + path);
    }
    auto size = static_cast<std::size_t>(st.st_size);
    if (buffer_.size() < size) buffer_ = simdjson::padded_string(size + size / 8);  // room to grow
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, buffer_.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done != size) throw std::runtime_error("short read of " + path);
    return size;
}

std::size_t FloorReader::walkDashboard(const std::string& path) {
    std::size_t size = load(path);
    std::size_t sum = 0, items = 0;
    try {
        od::document doc = parser_.iterate(buffer_.data(), size, buffer_.size() + simdjson::SIMDJSON_PADDING);
        for (auto field : doc.get_object()) {
            std::string_view key = field.unescaped_key();
            if (key == "feedItems") {
                for (auto element : field.value().get_array()) {
                    od::object item;
                    if (element.get_object().get(item)) continue;
                    touchItem(item, sum);
                    ++items;
                }
            } else if (key == "updatedAt") {
                touchString(field.value(), sum);
            }
        }
    } catch (const simdjson::simdjson_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
    checksum_ = sum;
    return items;
}

std::size_t FloorReader::parseWhole(const std::string& path) {
    std::size_t size = load(path);
    simdjson::dom::element root;
    if (auto error = domParser_.parse(buffer_.data(), size, false).get(root)) {
        throw std::runtime_error(path + ": " + simdjson::error_message(error));
    }
    checksum_ = static_cast<std::size_t>(root.type());
    return size;
}

}  // namespace qs::Bench
