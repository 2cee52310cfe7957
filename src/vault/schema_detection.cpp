// Which layout a vault uses: its library marker, else its top-level folders.
#include <cmath>  // std::trunc, std::isfinite

#include "json/json.hpp"
#include "platform/file_system.hpp"
#include "vault/path_schema.hpp"

namespace qs {
namespace {

// Far above any real marker (a few hundred bytes).
constexpr uint64_t kMarkerLimit = 1 << 20;

// "schemaVersion" must be an integer. A whole number written with a decimal
// point (2.0) is accepted as the integer it denotes, as the companion
// applications' own decoder does; 2.5 is not.
bool isIntegerValue(const Json& value) {
    if (value.is_number_integer()) return true;
    if (!value.is_number_float()) return false;
    double d = value.get<double>();
    return std::isfinite(d) && std::trunc(d) == d && d >= -9.2e18 && d <= 9.2e18;
}

// The schema the library marker names, when the marker is a complete one.
std::optional<PathSchema> schemaFromMarker(Platform::FileSystem& fs, const std::string& root) {
    std::string bytes;
    if (!fs.readInto(Platform::joinPath(root, "preferences/quillstack-library.json"), bytes, kMarkerLimit))
        return std::nullopt;
    auto marker = parseJsonDocument(bytes);
    if (!marker || !marker->is_object()) return std::nullopt;
    const Json& m = *marker;
    auto field = [&](const char* key) -> const Json* {
        auto it = m.find(key);
        return it == m.end() ? nullptr : &*it;
    };
    const Json* version = field("schemaVersion");
    const Json* schema = field("pathSchema");
    const Json* createdAt = field("createdAt");
    const Json* app = field("app");
    if (!version || !isIntegerValue(*version) || !schema || !schema->is_string() || !createdAt ||
        !createdAt->is_string() || !app || !app->is_string()) {
        return std::nullopt;
    }
    return pathSchemaNamed(schema->get_ref<const std::string&>());
}

std::optional<PathSchema> schemaFromFolders(Platform::FileSystem& fs, const std::string& root) {
    for (const VaultLayout& layout : vaultLayouts()) {
        for (std::string_view folder : layout.probes) {
            if (fs.exists(Platform::joinPath(root, folder))) return layout.schema;
        }
    }
    return std::nullopt;
}

}  // namespace

namespace VaultInitializer {

std::optional<PathSchema> detectSchema(Platform::FileSystem& fs, const std::string& vaultRoot) {
    if (auto schema = schemaFromMarker(fs, vaultRoot)) return schema;
    return schemaFromFolders(fs, vaultRoot);
}

}  // namespace VaultInitializer

}  // namespace qs
