// Reads vocabulary entries out of the parsed file under one shape and one date
// encoding, failing the whole reading at the first value that does not fit.
//
// A reading checks every entry but copies nothing: a listing shows a few of
// thousands of words, so the whole entry is built again, by the same code,
// only for a word that is asked for.
#include "vocab/vocab_reading.hpp"

#include <array>        // std::array
#include <cstdint>      // int64_t
#include <string>       // std::string
#include <string_view>  // std::string_view

#include "json/json_numbers.hpp"
#include "text/dates.hpp"

namespace qs::VocabReading {
namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;
using Word = VocabBookReader::Word;

// The members the format names; any other member is ignored.
enum Field : size_t {
    kWord,
    kAddedAt,
    kUpdatedAt,
    kStage,
    kDueAt,
    kLapses,
    kGraduated,
    kPhonetic,
    kTranslation,
    kExamTags,
    kSource,
    kProvenance,
    kExamples,
    kNote,
    kDeletedAt,
    kFieldCount,
};
constexpr std::array<std::string_view, kFieldCount> kEntryFields = {
    "word",
    "addedAt",
    "updatedAt",
    "stage",
    "dueAt",
    "lapses",
    "graduated",
    "phonetic",
    "translation",
    "examTags",
    "source",
    "provenance",
    "examples",
    "note",
    "deletedAt",
};
constexpr std::array<std::string_view, 3> kProvenanceFields = {"itemID", "date", "excerpt"};
constexpr std::array<std::string_view, 4> kEnvelopeFields = {"version", "writer", "updatedAt", "words"};

// For each name length, the positions of the names of that length (-1 ends
// the list): a key is compared with at most the few names as long as it.
template <size_t N>
struct NamesByLength {
    static constexpr size_t kLongest = 16;
    static constexpr size_t kMaxSameLength = 4;
    std::array<std::array<int, kMaxSameLength + 1>, kLongest> positions{};

    constexpr explicit NamesByLength(const std::array<std::string_view, N>& names) {
        for (auto& list : positions) list.fill(-1);
        for (size_t i = 0; i < N; ++i) {
            auto& list = positions[names[i].size()];
            size_t k = 0;
            while (list[k] != -1) ++k;
            list[k] = static_cast<int>(i);
        }
    }
};

constexpr NamesByLength<kFieldCount> kEntryLookup(kEntryFields);
constexpr NamesByLength<3> kProvenanceLookup(kProvenanceFields);
constexpr NamesByLength<4> kEnvelopeLookup(kEnvelopeFields);

// Member names are a few letters long: a plain loop beats a call to memcmp.
bool sameLetters(std::string_view a, std::string_view b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

// The named members of an object, a later duplicate replacing an earlier one;
// null counts as missing, so a slot is set only for a non-null value.
template <size_t N>
bool collect(element value, const std::array<std::string_view, N>& names, const NamesByLength<N>& lookup,
    std::array<std::optional<element>, N>& slots) {
    simdjson::dom::object object;
    if (value.get_object().get(object)) return false;
    for (auto field : object) {
        const std::string_view key = field.key;
        if (key.size() >= NamesByLength<N>::kLongest) continue;
        for (int i : lookup.positions[key.size()]) {
            if (i < 0) break;
            if (!sameLetters(key, names[static_cast<size_t>(i)])) continue;
            auto& slot = slots[static_cast<size_t>(i)];
            if (field.value.is_null()) {
                slot.reset();
            } else {
                slot = field.value;
            }
            break;
        }
    }
    return true;
}

// An optional text member: checked, and copied into `out` when one is given.
bool readOptionalText(
    const std::optional<element>& slot, std::optional<std::string_view>& view, std::optional<std::string>* out) {
    view.reset();
    if (!slot) return true;
    std::string_view text;
    if (slot->get_string().get(text)) return false;
    view = text;
    if (out) out->emplace(text);
    return true;
}

// Integral values only: 3 and 3.0 are the integer 3, 3.5 fails the reading
// rather than being silently truncated.
bool readInteger(element value, int64_t& out) {
    switch (value.type()) {
    case element_type::INT64: return !value.get_int64().get(out);
    case element_type::DOUBLE: {
        double d = 0;
        if (value.get_double().get(d)) return false;
        auto whole = exactInt64(d);
        if (!whole) return false;
        out = *whole;
        return true;
    }
    default: return false;  // booleans, texts, and integers past the signed 64-bit range
    }
}

// An array of texts: checked, and copied into `out` when one is given.
bool readTextList(element value, std::vector<std::string>* out) {
    simdjson::dom::array array;
    if (value.get_array().get(array)) return false;
    if (out) {
        out->clear();
        out->reserve(array.size());
    }
    for (element item : array) {
        std::string_view text;
        if (item.get_string().get(text)) return false;
        if (out) out->emplace_back(text);
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

bool readProvenance(element value, std::optional<VocabEntry::Provenance>* out) {
    std::array<std::optional<element>, kProvenanceFields.size()> slots;
    if (!collect(value, kProvenanceFields, kProvenanceLookup, slots)) return false;
    VocabEntry::Provenance* provenance = out ? &out->emplace() : nullptr;
    std::optional<std::string_view> view;
    return readOptionalText(slots[0], view, provenance ? &provenance->itemID : nullptr) &&
           readOptionalText(slots[1], view, provenance ? &provenance->date : nullptr) &&
           readOptionalText(slots[2], view, provenance ? &provenance->excerpt : nullptr);
}

class Reader {
public:
    Reader(DateEncoding dates, double now) : dates_(dates), now_(now) {}

    // Seconds since 1970 in the reading's own encoding; the other encoding fails.
    bool date(element value, double& out) const {
        if (dates_ == DateEncoding::iso8601) {
            std::string_view text;
            if (value.get_string().get(text)) return false;
            std::optional<double> parsed = Text::parseIsoDateTime(text);
            if (!parsed) return false;
            out = *parsed;
            return true;
        }
        switch (value.type()) {
        case element_type::INT64: out = static_cast<double>(value.get_int64().value_unsafe()); break;
        case element_type::UINT64: out = static_cast<double>(value.get_uint64().value_unsafe()); break;
        case element_type::DOUBLE: out = value.get_double().value_unsafe(); break;
        default: return false;
        }
        out += Text::kReferenceDateOffset;
        return true;
    }

    // Checks one entry into `word` (whose `value` is the entry); with `full`,
    // also builds the whole entry. A missing date is the moment of reading.
    bool entry(Word& word, VocabEntry* full) const {
        std::array<std::optional<element>, kFieldCount> f;
        if (!collect(word.value, kEntryFields, kEntryLookup, f)) return false;
        if (!f[kWord] || f[kWord]->get_string().get(word.word)) return false;

        auto dateOrNow = [&](Field field, double& target) {
            if (f[field]) return date(*f[field], target);
            target = now_;
            return true;
        };
        VocabEntry scratch;
        VocabEntry& e = full ? *full : scratch;
        if (!dateOrNow(kAddedAt, e.addedAt)) return false;
        if (f[kStage] && !readInteger(*f[kStage], e.stage)) return false;
        if (!dateOrNow(kDueAt, e.dueAt)) return false;
        if (f[kLapses] && !readInteger(*f[kLapses], e.lapses)) return false;
        if (f[kGraduated] && f[kGraduated]->get_bool().get(e.graduated)) return false;
        e.updatedAt = e.addedAt;
        if (f[kUpdatedAt] && !date(*f[kUpdatedAt], e.updatedAt)) return false;

        std::optional<std::string_view> unused;
        if (!readOptionalText(f[kPhonetic], unused, full ? &e.phonetic : nullptr)) return false;
        if (!readOptionalText(f[kTranslation], word.translation, full ? &e.translation : nullptr)) return false;
        if (f[kExamTags] && !readTextList(*f[kExamTags], full ? &e.examTags : nullptr)) return false;
        if (f[kSource] && !readSource(*f[kSource], e.source)) return false;
        if (f[kProvenance] && !readProvenance(*f[kProvenance], full ? &e.provenance : nullptr)) return false;
        if (f[kExamples] && !readTextList(*f[kExamples], full ? &e.examples.emplace() : nullptr)) return false;
        if (!readOptionalText(f[kNote], unused, full ? &e.note : nullptr)) return false;
        if (f[kDeletedAt] && !date(*f[kDeletedAt], e.deletedAt.emplace())) return false;

        if (full) e.word = word.word;
        word.dueAt = e.dueAt;
        word.source = e.source;
        word.deleted = e.deletedAt.has_value();
        return true;
    }

    // Every member of `value` as a word under its key, with the count of
    // those that do not fit; nothing when `value` is no object.
    std::optional<size_t> entries(element value, std::vector<Word>& out) const {
        simdjson::dom::object object;
        if (value.get_object().get(object)) return std::nullopt;
        out.reserve(object.size());
        size_t unreadable = 0;
        for (auto field : object) {
            Word& word = out.emplace_back();
            word.key = field.key;
            word.value = field.value;
            if (!entry(word, nullptr)) {
                word.unreadable = true;
                ++unreadable;
            }
        }
        return unreadable;
    }

    std::optional<size_t> envelope(element value, std::vector<Word>& out) const {
        std::array<std::optional<element>, kEnvelopeFields.size()> f;
        if (!collect(value, kEnvelopeFields, kEnvelopeLookup, f)) return std::nullopt;
        for (const auto& slot : f) {
            if (!slot) return std::nullopt;
        }
        int64_t version = 0;
        std::string_view writer;
        double updatedAt = 0;
        if (!readInteger(*f[0], version) || f[1]->get_string().get(writer) || !date(*f[2], updatedAt))
            return std::nullopt;
        return entries(*f[3], out);
    }

private:
    DateEncoding dates_;
    double now_;
};

}  // namespace

std::optional<size_t> read(element root, Shape shape, DateEncoding dates, double now, std::vector<Word>& words) {
    words.clear();
    Reader reader(dates, now);
    std::optional<size_t> unreadable =
        shape == Shape::envelope ? reader.envelope(root, words) : reader.entries(root, words);
    if (!unreadable) words.clear();
    return unreadable;
}

VocabEntry entry(const Word& word, DateEncoding dates, double now) {
    VocabEntry full;
    Word again = word;
    // The word passed this very reading, so building it cannot fail.
    Reader(dates, now).entry(again, &full);
    return full;
}

}  // namespace qs::VocabReading
