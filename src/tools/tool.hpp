// What every tool is made of: its definition (texts, input schema, hints,
// handler) and the context the server hands it.
#pragma once

#include <cstdint>      // int64_t
#include <map>          // std::map
#include <memory>       // std::unique_ptr
#include <span>         // std::span
#include <string_view>  // std::string_view

#include "json/json.hpp"
#include "vault/vault.hpp"

namespace qs {

namespace Search {
class FulltextService;
}

class DayFolders;
class KeptIndex;
class ToolArguments;
class VaultChanges;
class VocabBookReader;

// What the tools keep from one call to the next, owned by the server: the
// located vault (with its layout) and the reusable memory of the readers.
class ToolContext {
public:
    explicit ToolContext(Vault vault);
    ToolContext(ToolContext&&) noexcept;
    ~ToolContext();

    [[nodiscard]] const Vault& vault() const { return vault_; }
    // Its parser buffers stay alive between calls: a book of thousands of
    // words would otherwise fault in fresh memory every time.
    VocabBookReader& vocabReader() { return *vocabReader_; }
    // The index, parsed once and used again while its file is unchanged.
    KeptIndex& index() { return *index_; }
    // The day folders, listed once and used again while each is unchanged.
    DayFolders& dayFolders() { return *dayFolders_; }
    // The vault's change notifications, one watch for every reader.
    VaultChanges& changes() { return *changes_; }

    // Takes in what changed in the vault since the last call, without
    // waiting: every call begins here.
    void beginCall();
    // The full-text index, built by a thread of its own from the first search on.
    Search::FulltextService& fulltext() { return *fulltext_; }
    // Transcript lengths in characters as earlier calls counted them, by
    // path, each with the stamp of the file it was counted in: a listing
    // shows a length without reading the file again.
    struct CountedTranscript {
        Platform::FileStamp stamp;
        int64_t chars = 0;
    };
    std::map<std::string, CountedTranscript>& transcriptLengths() { return transcriptLengths_; }

    // Hands back what the readers keep, for a server left idle: the next
    // call reads afresh.
    void releaseMemory();

private:
    Vault vault_;
    std::unique_ptr<VocabBookReader> vocabReader_;
    std::unique_ptr<KeptIndex> index_;
    std::unique_ptr<DayFolders> dayFolders_;
    std::map<std::string, CountedTranscript> transcriptLengths_;
    std::unique_ptr<VaultChanges> changes_;
    std::unique_ptr<Search::FulltextService> fulltext_;
};

// What a text argument must be beyond a text. A value of another form is
// refused, naming the argument, the value and an example, rather than
// answered with "nothing found"; the schema says the same.
enum class TextForm {
    any,
    day,       // yyyy-MM-dd, a day on the calendar
    nonBlank,  // something besides white space
};

// One input property. Its default is written once, here: the handler reads
// it through ToolArguments and the description shows it in place of "{}".
struct ToolParam {
    std::string_view name;
    std::string_view type;         // the JSON Schema type; an "array" holds texts
    std::string_view description;  // "{}" stands for the default
    bool required = false;
    int64_t defaultValue = 0;                           // for "integer" and "boolean" (0 is false)
    std::span<const std::string_view> enumValues = {};  // the only texts taken
    TextForm form = TextForm::any;
    std::string_view example = {};  // a good value, shown in a refusal
};

// The parameters the listing tools share, word for word: a day range that
// includes both ends, and paging by the next_offset a page hands back.
inline constexpr ToolParam kDateFromParam{
    "date_from", "string", "起始日期,yyyy-MM-dd,含当天。", false, 0, {}, TextForm::day};
inline constexpr ToolParam kDateToParam{
    "date_to", "string", "结束日期,yyyy-MM-dd,含当天。", false, 0, {}, TextForm::day};
inline constexpr ToolParam kPageOffsetParam{
    "offset", "integer", "跳过前几条再返回,翻页时传上次拿到的 next_offset,默认 {}。", false, 0};

struct ToolHints {
    bool readOnly;
    bool destructive;
    bool idempotent;
    bool openWorld;
};

inline constexpr ToolHints kReadOnlyHints{
    .readOnly = true, .destructive = false, .idempotent = true, .openWorld = false};

// A handler returns the tool result envelope or throws ToolFailure; the one
// translation into a failed result is ToolCatalog::invoke.
using ToolHandler = Json (*)(const ToolArguments& arguments, ToolContext& context);

struct ToolDefinition {
    std::string_view name;
    std::string_view title;                         // what a person calls the tool
    std::span<const std::string_view> description;  // lines, joined by "\n"
    std::span<const ToolParam> params;
    ToolHints hints;
    ToolHandler handler;
    std::string_view view = {};  // the ui:// view a host shows beside the result, if any
    // For a tool whose results can be long: the size in characters it asks
    // hosts to pass on whole (one host reads "anthropic/maxResultSizeChars");
    // 0 asks nothing.
    int64_t maxResultChars = 0;
};

// The nine tools, each defined in its own file.
extern const ToolDefinition vaultSearchTool;
extern const ToolDefinition recordingListTool;
extern const ToolDefinition recordingTranscriptTool;
extern const ToolDefinition minutesReadTool;
extern const ToolDefinition vocabListTool;
extern const ToolDefinition reportDailyTool;
extern const ToolDefinition minutesWriteTool;
extern const ToolDefinition diaryWriteTool;
extern const ToolDefinition fulltextSearchTool;

}  // namespace qs
