// Reads vocabulary entries out of the parsed file under one shape and one date
// encoding, failing the whole reading at the first value that does not fit.
#include "vocab/vocab_reading.hpp"

#include <array>        // std::array
#include <cmath>        // std::trunc
#include <cstdint>      // int64_t, uint64_t
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "text/dates.hpp"

namespace qs::VocabReading {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// The members the format names; any other member is ignored.
enum Field : size_t {
    kWord, kAddedAt, kUpdatedAt, kStage, kDueAt, kLapses, kGraduated, kPhonetic,
    kTranslation, kExamTags, kSource, kProvenance, kExamples, kNote, kDeletedAt, kFieldCount,
};
constexpr std::array<std::string_view, kFieldCount> kEntryFields = {
    "word",        "addedAt",  "updatedAt", "stage",      "dueAt",    "lapses", "graduated", "phonetic",
    "translation", "examTags", "source",    "provenance", "examples", "note",   "deletedAt",
};
constexpr std::array<std::string_view, 3> kProvenanceFields = {"itemID", "date", "excerpt"};
constexpr std::array<std::string_view, 4> kEnvelopeFields = {"version", "writer", "updatedAt", "words"};

// The named members of an object, a later duplicate replacing an earlier one;
// null counts as missing, so a slot is set only for a non-null value.
template <size_t N>
bool collect(element value, const std::array<std::string_view, N>& names, std::array<std::optional<element>, N>& slots) {
    simdjson::dom::object object;
    if (value.get_object().get(object)) return false;
    for (auto field : object) {
        const std::string_view key = field.key;
        for (size_t i = 0; i < N; ++i) {
            // Size and first letter first: most keys are told apart without a memcmp.
            if (key.size() != names[i].size() || key.empty() || key[0] != names[i][0] || key != names[i]) continue;
            if (field.value.is_null()) {
                slots[i].reset();
            } else {
                slots[i] = field.value;
            }
            break;
        }
    }
    return true;
}

bool readText(element value, std::string& out) {
    std::string_view view;
    if (value.get_string().get(view)) return false;
    out.assign(view);
    return true;
}

bool readOptionalText(const std::optional<element>& slot, std::optional<std::string>& out) {
    if (!slot) return true;
    return readText(*slot, out.emplace());
}

// Integral values only: 3 and 3.0 are the integer 3, 3.5 fails the reading
// rather than being silently truncated.
bool readInteger(element value, int64_t& out) {
    switch (value.type()) {
    case element_type::INT64:
        return !value.get_int64().get(out);
    case element_type::DOUBLE: {
        double d = 0;
        if (value.get_double().get(d)) return false;
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) || std::trunc(d) != d) return false;
        out = static_cast<int64_t>(d);
        return true;
    }
    default:
        return false;  // booleans, texts, and integers past the signed 64-bit range
    }
}

bool readTextList(element value, std::vector<std::string>& out) {
    simdjson::dom::array array;
    if (value.get_array().get(array)) return false;
    out.clear();
    out.reserve(array.size());
    for (element item : array) {
        if (!readText(item, out.emplace_back())) return false;
    }
    return true;
}

bool readSource(element value, std::optional<VocabReviewSource>& out) {
    std::string_view text;
    if (value.get_string().get(text)) return false;
    if (text == "lookup") {
        out = VocabReviewSource::lookup;
    } else if (text == "imported") {
        out = VocabReviewSource::imported;
    } else {
        return false;
    }
    return true;
}

bool readProvenance(element value, std::optional<VocabEntry::Provenance>& out) {
    std::array<std::optional<element>, kProvenanceFields.size()> slots;
    if (!collect(value, kProvenanceFields, slots)) return false;
    VocabEntry::Provenance& provenance = out.emplace();
    return readOptionalText(slots[0], provenance.itemID) && readOptionalText(slots[1], provenance.date) &&
           readOptionalText(slots[2], provenance.excerpt);
}

class Reader {
public:
    explicit Reader(DateEncoding dates) : dates_(dates) {}

    // Seconds since 1970 in the reading's own encoding; the other encoding fails.
    bool date(element value, double& out) const {
        if (dates_ == DateEncoding::iso8601) {
            std::string_view text;
            if (value.get_string().get(text)) return false;
            std::optional<double> parsed = text::parseIsoDateTime(text);
            if (!parsed) return false;
            out = *parsed;
            return true;
        }
        switch (value.type()) {
        case element_type::INT64:
            out = static_cast<double>(value.get_int64().value_unsafe());
            break;
        case element_type::UINT64:
            out = static_cast<double>(value.get_uint64().value_unsafe());
            break;
        case element_type::DOUBLE:
            out = value.get_double().value_unsafe();
            break;
        default:
            return false;
        }
        out += text::kReferenceDateOffset;
        return true;
    }

    bool entry(element value, VocabEntry& out) const {
        std::array<std::optional<element>, kFieldCount> f;
        if (!collect(value, kEntryFields, f)) return false;
        if (!f[kWord] || !readText(*f[kWord], out.word)) return false;

        // The moment of reading is taken per entry, and only when a default needs it.
        std::optional<double> moment;
        auto now = [&moment] {
            if (!moment) moment = text::nowUnixSeconds();
            return *moment;
        };
        auto dateOrNow = [&](Field field, double& target) {
            if (f[field]) return date(*f[field], target);
            target = now();
            return true;
        };

        if (!dateOrNow(kAddedAt, out.addedAt)) return false;
        if (f[kStage] && !readInteger(*f[kStage], out.stage)) return false;
        if (!dateOrNow(kDueAt, out.dueAt)) return false;
        if (f[kLapses] && !readInteger(*f[kLapses], out.lapses)) return false;
        if (f[kGraduated] && f[kGraduated]->get_bool().get(out.graduated)) return false;
        out.updatedAt = out.addedAt;
        if (f[kUpdatedAt] && !date(*f[kUpdatedAt], out.updatedAt)) return false;

        if (!readOptionalText(f[kPhonetic], out.phonetic)) return false;
        if (!readOptionalText(f[kTranslation], out.translation)) return false;
        if (f[kExamTags] && !readTextList(*f[kExamTags], out.examTags)) return false;
        if (f[kSource] && !readSource(*f[kSource], out.source)) return false;
        if (f[kProvenance] && !readProvenance(*f[kProvenance], out.provenance)) return false;
        if (f[kExamples] && !readTextList(*f[kExamples], out.examples.emplace())) return false;
        if (!readOptionalText(f[kNote], out.note)) return false;
        if (f[kDeletedAt] && !date(*f[kDeletedAt], out.deletedAt.emplace())) return false;
        return true;
    }

    // Every member of `value` as an entry under its key.
    bool entries(element value, std::map<std::string, VocabEntry>& out) const {
        simdjson::dom::object object;
        if (value.get_object().get(object)) return false;
        for (auto field : object) {
            VocabEntry parsed;
            if (!entry(field.value, parsed)) return false;
            // Writers usually keep their keys sorted, so the end is the likely place.
            out.insert_or_assign(out.end(), std::string(field.key), std::move(parsed));
        }
        return true;
    }

    bool envelope(element value, std::map<std::string, VocabEntry>& out) const {
        std::array<std::optional<element>, kEnvelopeFields.size()> f;
        if (!collect(value, kEnvelopeFields, f)) return false;
        for (const auto& slot : f) {
            if (!slot) return false;
        }
        int64_t version = 0;
        std::string_view writer;
        double updatedAt = 0;
        return readInteger(*f[0], version) && !f[1]->get_string().get(writer) && date(*f[2], updatedAt) &&
               entries(*f[3], out);
    }

private:
    DateEncoding dates_;
};

}  // namespace

std::optional<std::map<std::string, VocabEntry>> read(element root, Shape shape, DateEncoding dates) {
    Reader reader(dates);
    std::map<std::string, VocabEntry> book;
    bool ok = shape == Shape::envelope ? reader.envelope(root, book) : reader.entries(root, book);
    if (!ok) return std::nullopt;
    return book;
}

}  // namespace qs::VocabReading
