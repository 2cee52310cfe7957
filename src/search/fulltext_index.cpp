// Opening the index's database and bringing it in step with the vault.
#include "search/fulltext_index.hpp"

#include <array>          // std::array
#include <cctype>         // std::isalnum
#include <chrono>         // std::chrono::milliseconds
#include <cstdio>         // std::snprintf
#include <map>            // std::map
#include <unordered_map>  // std::unordered_map
#include <unordered_set>  // std::unordered_set

#include "json/json.hpp"
#include "platform/paths.hpp"
#include "text/dates.hpp"
#include "text/unicode.hpp"
#include "vault/vault.hpp"
#include "vault/vault_io.hpp"

namespace qs::Search {
namespace {

constexpr std::string_view kSchema = R"(
CREATE TABLE docs(rowid INTEGER PRIMARY KEY, key TEXT UNIQUE NOT NULL, id TEXT NOT NULL, type TEXT NOT NULL,
  day TEXT NOT NULL, time TEXT NOT NULL, title TEXT NOT NULL, entry INTEGER);
CREATE VIRTUAL TABLE body USING fts5(title, tags, text, minutes, summary, transcript, report, pending, tokenize='quill');
CREATE VIRTUAL TABLE vocab USING fts5vocab(body, row);
CREATE TABLE files(path TEXT PRIMARY KEY, folder TEXT NOT NULL, doc INTEGER, size INTEGER NOT NULL,
  mtime INTEGER NOT NULL, evicted INTEGER NOT NULL);
CREATE INDEX files_folder ON files(folder);
CREATE INDEX files_doc ON files(doc);
CREATE TABLE folders(path TEXT PRIMARY KEY, stamp TEXT NOT NULL);
CREATE TABLE state(key TEXT PRIMARY KEY, value TEXT NOT NULL);
)";

// A pass commits this often, so the request thread's own writes get the
// write lock soon, and a stopped pass keeps what it did.
constexpr auto kCommitEvery = std::chrono::milliseconds(150);

// FNV-1a: a stable name for a vault's database and a stable digest of an
// entry's texts, the same in every build of the server.
uint64_t fnv1a(std::string_view text, uint64_t hash = 1469598103934665603ull) {
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::string stampText(const Platform::FileStamp& s) {
    char text[160];
    std::snprintf(text, sizeof text, "%llu:%llu:%llu:%lld:%lld", (unsigned long long)s.device,
        (unsigned long long)s.inode, (unsigned long long)s.size, (long long)s.modifiedNs, (long long)s.changedNs);
    return text;
}

// The files a folder of each kind holds: which suffix makes which text.
struct Source {
    VaultPath base;
    bool dayFolders;  // base/<day>/<id><suffix>, else base/<day><suffix>
    std::string_view suffix;
    Field field;
    char keyKind;  // 'e' a timeline entry, 'p' a text waiting in the inputs, 'r' a daily report
};
constexpr Source kSources[] = {
    {VaultPath::insightsDir, true, ".min.md", Field::minutes, 'e'},
    {VaultPath::insightsDir, true, ".sum.txt", Field::summary, 'e'},
    {VaultPath::outputsDir, true, ".transcript.json", Field::transcript, 'e'},
    {VaultPath::outputsDir, true, ".tr.txt", Field::transcript, 'e'},
    {VaultPath::inputsDir, true, ".memo.txt", Field::pending, 'p'},
    {VaultPath::dailyReportsDir, false, ".json", Field::report, 'r'},
};
// Insights before outputs: a document's small texts are in place before its
// transcript, which each later change would have to tokenize again.
constexpr VaultPath kBases[] = {
    VaultPath::insightsDir, VaultPath::outputsDir, VaultPath::inputsDir, VaultPath::dailyReportsDir};

// What the changes of one batch ask a pass to look at.
struct Named {
    bool sweep = false;                                      // a base folder, or one above it, came or went
    bool timeline = false;                                   // the timeline's file, or a folder above it
    std::vector<std::pair<VaultPath, std::string>> folders;  // day folders that came or went
    std::vector<std::pair<VaultPath, std::string>> files;    // files that came, changed or went
};

// Whether `folder` is `path` or lies below it.
bool under(std::string_view folder, std::string_view path) {
    return folder.starts_with(path) && (folder.size() == path.size() || folder[path.size()] == '/');
}

// Where the index reads: the timeline's file and the base folders, in the
// order of kBases, looked up once a pass.
struct Places {
    std::string dashboard;
    std::array<std::string, std::size(kBases)> bases;
};

// Files of the index's sources stand one level into the reports folder and
// two into the others (in a day folder); a name anywhere else is not read.
void nameChange(const Places& places, const Platform::Change& change, const std::string& path, Named& named) {
    if (under(places.dashboard, path)) named.timeline = true;
    // A folder's own "changed" (its attributes) leaves its names as they were.
    const bool cameOrWent = change.kind != Platform::ChangeKind::changed;
    for (size_t b = 0; b < std::size(kBases); ++b) {
        const VaultPath base = kBases[b];
        const std::string& basePath = places.bases[b];
        if (under(basePath, path)) {
            named.sweep = named.sweep || cameOrWent;
            continue;
        }
        if (!under(path, basePath)) continue;
        const std::string_view inside = std::string_view(path).substr(basePath.size() + 1);
        const size_t slash = inside.find('/');
        if (base == VaultPath::dailyReportsDir) {
            if (slash == std::string_view::npos) named.files.emplace_back(base, path);
        } else if (Text::isDayShape(inside.substr(0, slash))) {
            if (slash == std::string_view::npos) {
                if (cameOrWent) named.folders.emplace_back(base, path);
            } else if (inside.find('/', slash + 1) == std::string_view::npos) {
                named.files.emplace_back(base, path);
            }
        }
    }
}

// The source a name in a folder of `base` belongs to, and the id it names.
const Source* sourceOf(VaultPath base, std::string_view name, std::string_view& id) {
    for (const Source& source : kSources) {
        if (source.base != base || name.size() <= source.suffix.size() || !name.ends_with(source.suffix)) continue;
        id = name.substr(0, name.size() - source.suffix.size());
        if (!source.dayFolders && !Text::isDayShape(id)) return nullptr;
        return &source;
    }
    return nullptr;
}

// The daily report's texts: every string among the members the report tool shows.
std::string reportText(const Json& report) {
    static constexpr std::string_view kMembers[] = {"headline", "shortSummary", "narrative", "markdownContent",
        "moodSummary", "keyInsights", "topInsights", "stats", "pendingItems", "tomorrowSuggestions"};
    std::string text;
    std::function<void(const Json&)> collect = [&](const Json& value) {
        if (value.is_string()) {
            if (!text.empty()) text += '\n';
            text += value.get<std::string>();
        } else if (value.is_structured()) {
            for (const Json& member : value) collect(member);
        }
    };
    for (std::string_view member : kMembers) {
        if (auto it = report.find(std::string(member)); it != report.end()) collect(*it);
    }
    return text;
}

// The first non-empty line, at most 60 characters: what a hit shows as the
// title of a text that has none.
std::string firstLine(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = Text::trimWhitespace(text.substr(start, end - start));
        if (!line.empty()) return std::string(Text::graphemePrefix(line, 60));
        start = end + 1;
    }
    return "(无标题)";
}

// Not an SQLite code: a database of another format than this build's.
constexpr int kOlderFormat = -1;
constexpr int kLockWaitMs = 2000;

void removeDatabase(Platform::FileSystem& fs, const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) (void)fs.remove(path + suffix);
}

}  // namespace

std::string FulltextIndex::databasePath(const std::string& cacheFolder, const std::string& realRoot) {
    std::string name;
    for (char c : Platform::lastComponent(realRoot)) {
        name += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", (unsigned long long)fnv1a(realRoot));
    return Platform::joinPath(cacheFolder, name.substr(0, 40) + "-" + hash + ".db");
}

std::unique_ptr<FulltextIndex> FulltextIndex::open(const std::string& path, Platform::FileSystem& fs) {
    for (int attempt = 0;; ++attempt) {
        SqlError error;
        auto connection = Connection::open(path, error);
        try {
            if (!connection) throw error;
            connection->waitForLocks(kLockWaitMs);
            // Two servers starting on one vault: the first makes the tables.
            connection->exec("BEGIN IMMEDIATE");
            Statement tables = connection->prepare("SELECT count(*) FROM sqlite_master");
            tables.step();
            const bool empty = tables.integer(0) == 0;
            tables.reset();
            if (empty) {
                connection->exec(kSchema);
                connection->exec("PRAGMA user_version=" + std::to_string(kFormat));
            }
            // Made where a database of this format was built without them:
            // the newest day, which bounds every match's recency, and the
            // evicted files each search counts.
            connection->exec(
                "CREATE INDEX IF NOT EXISTS docs_day ON docs(day, time, id); "
                "CREATE INDEX IF NOT EXISTS files_evicted ON files(evicted)");
            connection->exec("COMMIT");
            Statement version = connection->prepare("PRAGMA user_version");
            version.step();
            if (version.integer(0) != kFormat) {
                throw SqlError{kOlderFormat, "older format"};
            } else {
                // Reads every table's root and the documents' pages: a
                // damaged or cut-off file fails here rather than mid-search.
                connection->exec(
                    "SELECT count(*) FROM docs; SELECT count(*) FROM files; SELECT rowid FROM body LIMIT 1");
            }
            return std::unique_ptr<FulltextIndex>(new FulltextIndex(std::move(connection), path));
        } catch (const SqlError& e) {
            if (attempt > 0 || !(e.corrupt() || e.code == kOlderFormat)) throw;
        }
        connection.reset();
        removeDatabase(fs, path);
    }
}

// One pass's prepared statements and its open transaction.
struct FulltextIndex::Pass {
    Connection& db;
    const Vault& vault;
    Statement findDoc{db.handle(), "SELECT rowid FROM docs WHERE key=?1"};
    Statement insertDoc{db.handle(), "INSERT INTO docs(key,id,type,day,time,title,entry) VALUES(?1,?2,?3,?4,?5,?6,?7)"};
    Statement updateEntry{db.handle(), "UPDATE docs SET id=?2,type=?3,day=?4,time=?5,title=?6,entry=?7 WHERE rowid=?1"};
    Statement insertBody{db.handle(), "INSERT INTO body(rowid) VALUES(?1)"};
    Statement entryBody{db.handle(), "UPDATE body SET title=?2,tags=?3,text=?4 WHERE rowid=?1"};
    Statement dropEntry{db.handle(), "UPDATE docs SET entry=NULL WHERE rowid=?1"};
    Statement orphan{db.handle(),
        "SELECT entry IS NULL AND NOT EXISTS(SELECT 1 FROM files WHERE doc=?1 AND evicted=0) FROM docs WHERE rowid=?1"};
    Statement deleteDoc{db.handle(), "DELETE FROM docs WHERE rowid=?1"};
    Statement deleteBody{db.handle(), "DELETE FROM body WHERE rowid=?1"};
    Statement fileRow{db.handle(), "SELECT size,mtime,evicted,doc FROM files WHERE path=?1"};
    Statement putFile{
        db.handle(), "INSERT OR REPLACE INTO files(path,folder,doc,size,mtime,evicted) VALUES(?1,?2,?3,?4,?5,?6)"};
    Statement dropFile{db.handle(), "DELETE FROM files WHERE path=?1"};
    // A document's texts written once a commit: FTS5 replaces a row whole,
    // tokenizing its old texts and its new ones, so each text set alone
    // would tokenize the others again.
    std::map<int64_t, std::array<std::optional<std::string>, kFieldCount>> unwritten;
    std::unordered_map<unsigned, Statement> setFields;  // by the mask of the texts set
    std::chrono::steady_clock::time_point began = vault.fs().steadyNow();
    std::string buffer;
    Platform::ChangeWatch* watch = nullptr;
    bool sweepAgain = false;  // something read here is not told when it changes

    Pass(Connection& connection, const Vault& v) : db(connection), vault(v) { db.exec("BEGIN IMMEDIATE"); }
    ~Pass() {
        try {
            writeTexts();
            db.exec("COMMIT");
        } catch (const SqlError&) {
            try {
                db.exec("ROLLBACK");
            } catch (const SqlError&) {
            }
        }
    }
    // Commits now and then, so other connections get their turn.
    void breathe() {
        if (vault.fs().steadyNow() - began < kCommitEvery) return;
        writeTexts();
        db.exec("COMMIT");
        db.exec("BEGIN IMMEDIATE");
        began = vault.fs().steadyNow();
    }

    // A stamp is trusted only once its last change lies a safe way back:
    // within one tick of a coarse clock a file can change and keep it.
    [[nodiscard]] bool racy(const Platform::FileStamp& s) const { return !s.settledAt(vault.fs().wallClockNs()); }

    // Watches `folder` before it is read, so each later change is told. One
    // not made yet is watched through the nearest folder above it, which
    // tells its coming.
    void watchFolder(const std::string& folder) {
        if (!watch) return;
        for (std::string at = folder; !watch->add(at); at = Platform::parentOf(at)) {
            if (at.size() <= vault.root.size() || vault.fs().exists(at)) {
                sweepAgain = true;
                return;
            }
        }
    }

    // Indexed before, and its stamp unchanged since: nothing to read. A file
    // read within the racy window was kept with no time, so it never is.
    bool unchanged(const std::string& path) {
        auto stamp = vault.fs().stampOf(path, false);
        fileRow.bind(1, path);
        const bool same = stamp && fileRow.step() && fileRow.integer(2) == 0 &&
                          fileRow.integer(0) == int64_t(stamp->size) && fileRow.integer(1) == stamp->modifiedNs &&
                          stamp->modifiedNs != 0;
        fileRow.reset();
        return same;
    }

    // The file at `path` in a folder of `base`, named by itself or by its
    // cloud placeholder, brought in step with the disk.
    void indexNamed(VaultPath base, const std::string& path, bool skipUnchanged) {
        const std::string folder = Platform::parentOf(path);
        std::string name = Platform::lastComponent(path);
        if (auto target = placeholderTarget(name)) name = std::string(*target);
        std::string_view id;
        const Source* source = sourceOf(base, name, id);
        if (!source || id.empty()) return;
        const std::string real = Platform::joinPath(folder, name);
        const bool placeholder = !vault.fs().stampOf(real, false) && vault.fs().exists(cloudPlaceholderOf(real));
        if (!placeholder && skipUnchanged && unchanged(real)) return;
        const std::string day = source->dayFolders ? Platform::lastComponent(folder) : std::string(id);
        indexFile(*source, folder, day, id, real, placeholder);
    }

    void setText(int64_t rowid, Field field, std::string_view text) {
        unwritten[rowid][indexOf(field)] = std::string(text);
    }
    void writeTexts() {
        for (auto& [rowid, texts] : unwritten) {
            unsigned mask = 0;
            std::string sql = "UPDATE body SET ";
            for (size_t f = 0; f < kFieldCount; ++f) {
                if (!texts[f]) continue;
                sql += std::string(mask ? "," : "") + std::string(kFieldNames[f]) + "=?" + std::to_string(f + 2);
                mask |= 1u << f;
            }
            auto it = setFields.find(mask);
            if (it == setFields.end())
                it = setFields.emplace(mask, Statement(db.handle(), sql + " WHERE rowid=?1")).first;
            it->second.bind(1, rowid);
            for (size_t f = 0; f < kFieldCount; ++f) {
                if (texts[f]) it->second.bind(int(f + 2), *texts[f]);
            }
            it->second.run();
        }
        unwritten.clear();
    }

    std::optional<int64_t> docOf(std::string_view key) {
        findDoc.bind(1, key);
        std::optional<int64_t> rowid;
        if (findDoc.step()) rowid = findDoc.integer(0);
        findDoc.reset();
        return rowid;
    }

    int64_t newDoc(std::string_view key, const EntryTexts& meta, std::optional<int64_t> entryHash) {
        insertDoc.bind(1, key).bind(2, meta.id).bind(3, meta.type).bind(4, meta.day).bind(5, meta.time);
        insertDoc.bind(6, meta.title);
        entryHash ? insertDoc.bind(7, *entryHash) : insertDoc.bindNull(7);
        insertDoc.run();
        const int64_t rowid = db.lastRowId();
        insertBody.bind(1, rowid).run();
        return rowid;
    }

    void putEntry(const EntryTexts& entry, int64_t hash, std::optional<int64_t> rowid) {
        if (!rowid) {
            rowid = newDoc("e:" + entry.id, entry, hash);
        } else {
            updateEntry.bind(1, *rowid).bind(2, entry.id).bind(3, entry.type).bind(4, entry.day).bind(5, entry.time);
            updateEntry.bind(6, entry.title).bind(7, hash).run();
        }
        setText(*rowid, Field::title, entry.titleText);
        setText(*rowid, Field::tags, entry.tags);
        setText(*rowid, Field::text, entry.text);
    }

    // A document with neither a timeline entry nor a file left goes.
    void dropIfEmpty(int64_t rowid) {
        orphan.bind(1, rowid);
        const bool empty = orphan.step() && orphan.integer(0) != 0;
        orphan.reset();
        if (!empty) return;
        deleteDoc.bind(1, rowid).run();
        deleteBody.bind(1, rowid).run();
        unwritten.erase(rowid);
    }

    enum class Read { text, absent, evicted };
    // A file's bytes, only when they are here: an evicted file is never
    // brought down for the index.
    Read read(const std::string& path) {
        auto inside = vault.holds(path, true);
        if (!inside || !*inside) return Read::absent;
        auto status = vault.fs().readInto(path, buffer, VaultIO::kFileReadLimit);
        if (status) return Read::text;
        return status.error().kind == Platform::Error::Kind::notDownloaded ? Read::evicted : Read::absent;
    }

    // The transcript as the transcript tool serves it: the JSON form's
    // "plainText" when usable, else the text form.
    std::optional<std::string> transcript(const std::string& folder, std::string_view id, bool& evicted) {
        Read json = read(Platform::joinPath(folder, std::string(id) + ".transcript.json"));
        evicted = json == Read::evicted;
        if (json == Read::text) {
            if (auto doc = parseJsonDocument(buffer); doc && doc->is_object()) {
                auto plain = doc->find("plainText");
                if (plain != doc->end() && plain->is_string() && !plain->get_ref<const std::string&>().empty()) {
                    return plain->get<std::string>();
                }
            }
        }
        Read text = read(Platform::joinPath(folder, std::string(id) + ".tr.txt"));
        evicted = evicted || text == Read::evicted;
        if (text == Read::text && Text::isValidUtf8(buffer) && !buffer.empty()) return buffer;
        return std::nullopt;
    }

    // Brings one file's document in step with the file (present, changed,
    // evicted or gone).
    void indexFile(const Source& source, const std::string& folder, std::string_view day, std::string_view id,
        const std::string& path, bool placeholder) {
        const auto stamp = placeholder ? std::nullopt : vault.fs().stampOf(path, false);
        fileRow.bind(1, path);
        std::optional<int64_t> knownDoc;
        bool wasEvicted = false;
        if (fileRow.step()) {
            if (!fileRow.isNull(3)) knownDoc = fileRow.integer(3);
            wasEvicted = fileRow.integer(2) != 0;
        }
        fileRow.reset();

        const std::string key = std::string(1, source.keyKind) + ":" + std::string(source.dayFolders ? id : day);
        std::optional<std::string> text;
        bool evicted = placeholder;
        bool gone = !placeholder && !stamp;
        if (!placeholder && stamp) {
            if (source.field == Field::transcript) {
                text = transcript(folder, id, evicted);
                if (!text && !evicted) text = "";
            } else {
                Read got = read(path);
                evicted = got == Read::evicted;
                gone = got == Read::absent;
                if (got == Read::text) {
                    if (source.field == Field::report) {
                        auto doc = parseJsonDocument(buffer);
                        text = doc && doc->is_object() ? reportText(*doc) : "";
                    } else {
                        text = Text::isValidUtf8(buffer) ? buffer : Text::decodeLossy(buffer);
                    }
                }
            }
        }
        if (gone) {
            dropFile.bind(1, path).run();
            if (knownDoc) {
                // The other transcript form may still stand.
                if (source.field == Field::transcript) {
                    bool ignored = false;
                    setText(*knownDoc, source.field, transcript(folder, id, ignored).value_or(""));
                } else {
                    setText(*knownDoc, source.field, "");
                }
                dropIfEmpty(*knownDoc);
            }
            return;
        }
        std::optional<int64_t> rowid = knownDoc ? knownDoc : docOf(key);
        if (evicted && !text) {
            // Its text, if indexed before, stays: eviction does not change it.
            if (!rowid || !wasEvicted) {
                putFile.bind(1, path).bind(2, folder);
                rowid ? putFile.bind(3, *rowid) : putFile.bindNull(3);
                putFile.bind(4, int64_t{0}).bind(5, int64_t{0}).bind(6, int64_t{1}).run();
            }
            return;
        }
        if (!rowid) {
            EntryTexts meta;
            meta.id = std::string(source.dayFolders ? id : day);
            meta.type = source.keyKind == 'r' ? "report" : source.field == Field::transcript ? "voice" : "text";
            meta.day = std::string(day);
            meta.title = source.keyKind == 'r'   ? reportTitle(day)
                         : source.keyKind == 'p' ? firstLine(*text)
                                                 : "(无标题)";
            rowid = newDoc(key, meta, std::nullopt);
        }
        setText(*rowid, source.field, *text);
        // A file changed within the racy window is read again next time.
        Platform::FileStamp seen = stamp.value_or(Platform::FileStamp{});
        putFile.bind(1, path).bind(2, folder).bind(3, *rowid);
        putFile.bind(4, int64_t(seen.size)).bind(5, racy(seen) ? int64_t{0} : seen.modifiedNs);
        putFile.bind(6, int64_t{0}).run();
    }

    std::string reportTitle(std::string_view day) {
        if (auto doc = parseJsonDocument(buffer); doc && doc->is_object()) {
            auto headline = doc->find("headline");
            if (headline != doc->end() && headline->is_string()) return headline->get<std::string>();
        }
        return std::string(day) + " 日报";
    }
};

namespace {

int64_t entryHash(const EntryTexts& e) {
    uint64_t hash = 1469598103934665603ull;
    for (const std::string* text : {&e.id, &e.type, &e.day, &e.time, &e.title, &e.titleText, &e.tags, &e.text}) {
        hash = fnv1a(*text, hash);
        hash = fnv1a(std::string_view("\x1f", 1), hash);
    }
    return int64_t(hash);
}

}  // namespace

Synced FulltextIndex::sync(const Vault& vault, const EntrySource& entries, const Platform::ChangeBatch& changes,
    Platform::ChangeWatch* watch, const std::atomic<bool>& stop, Progress& progress) {
    Platform::FileSystem& fs = vault.fs();
    std::unordered_map<std::string, std::string> state;
    {
        Statement rows = db_->prepare("SELECT key,value FROM state");
        while (rows.step()) state.emplace(rows.text(0), rows.text(1));
    }
    Pass pass(*db_, vault);
    pass.watch = watch;
    Statement putState = db_->prepare("INSERT OR REPLACE INTO state(key,value) VALUES(?1,?2)");

    // What the changes name; lost changes, or none told at all, leave
    // nothing to go by but the stamps of everything.
    Places places{vault.path(VaultPath::dashboard), {}};
    for (size_t b = 0; b < std::size(kBases); ++b) places.bases[b] = vault.path(kBases[b]);
    Named named;
    named.sweep = changes.overflow || !watch;
    for (const Platform::Change& change : changes.changes) {
        if (named.sweep) break;
        nameChange(places, change, change.path, named);
        if (!change.from.empty()) nameChange(places, change, change.from, named);
    }

    // The timeline's entries, when its file moved: only the entries whose
    // texts changed are indexed again.
    const std::string& dashboard = places.dashboard;
    if (named.sweep || named.timeline) pass.watchFolder(Platform::parentOf(dashboard));
    const auto dashboardStamp = named.sweep || named.timeline ? fs.stampOf(dashboard, false) : std::nullopt;
    const std::string dashboardText = dashboardStamp ? stampText(*dashboardStamp) : "";
    if (dashboardStamp && state["dashboard"] != dashboardText) {
        if (auto list = entries()) {
            std::unordered_map<std::string, std::pair<int64_t, int64_t>> known;  // id -> rowid, hash
            Statement rows = db_->prepare("SELECT rowid,id,entry FROM docs WHERE key>='e:' AND key<'e;'");
            while (rows.step())
                known.emplace(rows.text(1), std::pair{rows.integer(0), rows.isNull(2) ? 0 : rows.integer(2)});
            std::unordered_set<std::string_view> seen;
            for (const EntryTexts& entry : *list) {
                if (stop) return Synced::stopped;
                if (!seen.insert(entry.id).second) continue;  // the first of two same ids, as the tools do
                const int64_t hash = entryHash(entry);
                auto it = known.find(entry.id);
                if (it != known.end() && it->second.second == hash) continue;
                pass.putEntry(entry, hash, it == known.end() ? std::nullopt : std::optional(it->second.first));
                pass.breathe();
            }
            for (const auto& [id, row] : known) {
                if (seen.count(id) || row.second == 0) continue;
                pass.dropEntry.bind(1, row.first).run();
                pass.entryBody.bind(1, row.first).bind(2, "").bind(3, "").bind(4, "").run();
                pass.dropIfEmpty(row.first);
            }
            if (!pass.racy(*dashboardStamp)) putState.bind(1, "dashboard").bind(2, dashboardText).run();
        } else {
            pass.sweepAgain = true;  // unreadable now: no change may come to say when it reads again
        }
    }

    // The folders to list again: those whose stamp moved, or those the
    // changes name; then their files.
    struct Changed {
        VaultPath base;
        std::string folder;
        std::string day;
        std::string stamp;  // empty: gone, or not to be trusted yet
        std::vector<std::string> names;
    };
    std::vector<Changed> changed;
    auto folderStamp = [&](const std::optional<Platform::FileStamp>& stamp) {
        return stamp && !pass.racy(*stamp) ? stampText(*stamp) : std::string();
    };
    if (named.sweep) {
        std::unordered_map<std::string, std::string> folderStamps;
        {
            Statement rows = db_->prepare("SELECT path,stamp FROM folders");
            while (rows.step()) folderStamps.emplace(rows.text(0), rows.text(1));
        }
        std::unordered_set<std::string> present;
        for (size_t b = 0; b < std::size(kBases); ++b) {
            const VaultPath base = kBases[b];
            const std::string& basePath = places.bases[b];
            pass.watchFolder(basePath);
            if (base == VaultPath::dailyReportsDir) {
                auto stamp = fs.stampOf(basePath, true);
                if (!stamp) continue;
                present.insert(basePath);
                if (folderStamps[basePath] != stampText(*stamp)) {
                    changed.push_back({base, basePath, "", folderStamp(stamp), {}});
                }
                continue;
            }
            auto listing = fs.list(basePath, false, false);
            if (!listing) continue;
            std::vector<std::string> days;
            for (const auto& entry : *listing) {
                if (!Text::isDayShape(entry.name)) continue;
                days.push_back(entry.name);
                pass.watchFolder(Platform::joinPath(basePath, entry.name));
            }
            auto stamps = fs.folderStamps(basePath, days);
            for (size_t i = 0; i < days.size(); ++i) {
                if (!stamps[i]) continue;
                std::string folder = Platform::joinPath(basePath, days[i]);
                present.insert(folder);
                if (folderStamps[folder] != stampText(*stamps[i]))
                    changed.push_back({base, folder, days[i], folderStamp(stamps[i]), {}});
            }
        }
        // Folders that went away take their files with them.
        for (const auto& [folder, stamp] : folderStamps) {
            if (present.count(folder) || stamp.empty()) continue;
            const std::string parent = Platform::parentOf(folder);
            VaultPath base = VaultPath::dailyReportsDir;
            for (size_t b = 0; b < std::size(kBases); ++b) {
                if (places.bases[b] == parent && folder != places.bases[std::size(kBases) - 1]) base = kBases[b];
            }
            changed.push_back({base, folder, Platform::lastComponent(folder), "", {}});
        }
        named.files.clear();
    } else {
        std::unordered_set<std::string> once;
        for (const auto& [base, folder] : named.folders) {
            if (!once.insert(folder).second) continue;
            pass.watchFolder(folder);
            changed.push_back(
                {base, folder, Platform::lastComponent(folder), folderStamp(fs.stampOf(folder, true)), {}});
        }
    }
    // Day by day, so a recording's minutes, summary and transcript reach its
    // document in one write.
    std::stable_sort(changed.begin(), changed.end(), [](const Changed& a, const Changed& b) { return a.day < b.day; });
    int64_t total = int64_t(named.files.size());
    for (Changed& c : changed) {
        pass.watchFolder(c.folder);
        if (auto listing = fs.list(c.folder, false, false)) {
            for (auto& entry : *listing) c.names.push_back(std::move(entry.name));
        }
        total += int64_t(c.names.size());
    }
    progress.total += total;

    Statement knownFiles = db_->prepare("SELECT path FROM files WHERE folder=?1");
    Statement putFolder = db_->prepare("INSERT OR REPLACE INTO folders(path,stamp) VALUES(?1,?2)");
    Statement dropFolder = db_->prepare("DELETE FROM folders WHERE path=?1");
    std::unordered_set<std::string> listed;
    for (const Changed& c : changed) {
        listed.insert(c.folder);
        std::unordered_set<std::string> seen;
        for (const std::string& name : c.names) {
            if (stop) return Synced::stopped;
            ++progress.done;
            // iCloud's placeholder of an evicted file: "." + name + ".icloud".
            const bool placeholder = name.size() > 8 && name[0] == '.' && name.ends_with(".icloud");
            std::string_view real = placeholder ? std::string_view(name).substr(1, name.size() - 8) : name;
            std::string_view id;
            const Source* source = sourceOf(c.base, real, id);
            if (!source || id.empty()) continue;
            const std::string path = Platform::joinPath(c.folder, real);
            std::string_view day = source->dayFolders ? std::string_view(c.day) : id;
            if (!seen.insert(path).second) continue;
            if (!placeholder && pass.unchanged(path)) continue;
            pass.indexFile(*source, c.folder, day, id, path, placeholder);
            pass.breathe();
        }
        // Files indexed before and no longer listed.
        knownFiles.bind(1, c.folder);
        std::vector<std::string> vanished;
        while (knownFiles.step()) {
            std::string path(knownFiles.text(0));
            if (!seen.count(path)) vanished.push_back(std::move(path));
        }
        knownFiles.reset();
        for (const std::string& path : vanished) {
            // The name must outlive the view sourceOf cuts the id from.
            const std::string name = Platform::lastComponent(path);
            std::string_view id;
            const Source* source = sourceOf(c.base, name, id);
            if (!source) {
                pass.dropFile.bind(1, path).run();
                continue;
            }
            pass.indexFile(*source, c.folder, source->dayFolders ? std::string_view(c.day) : id, id, path, false);
        }
        if (c.stamp.empty()) {
            dropFolder.bind(1, c.folder).run();
        } else {
            putFolder.bind(1, c.folder).bind(2, c.stamp).run();
        }
        pass.breathe();
    }
    // The files the changes name, where their folder was not listed whole.
    for (const auto& [base, path] : named.files) {
        if (stop) return Synced::stopped;
        ++progress.done;
        if (listed.count(Platform::parentOf(path))) continue;
        pass.indexNamed(base, path, true);
        pass.breathe();
    }
    return watch && !pass.sweepAgain ? Synced::watched : Synced::unwatched;
}

void FulltextIndex::indexFile(const Vault& vault, const std::string& path) {
    const std::string folder = Platform::parentOf(path);
    const std::string name = Platform::lastComponent(path);
    for (VaultPath base : kBases) {
        const std::string basePath = vault.path(base);
        const bool dayFolder = Platform::parentOf(folder) == basePath;
        if (!dayFolder && folder != basePath) continue;
        std::string_view id;
        const Source* source = sourceOf(base, name, id);
        if (!source || source->dayFolders != dayFolder) continue;
        Pass pass(*db_, vault);
        const std::string day = dayFolder ? Platform::lastComponent(folder) : std::string(id);
        pass.indexFile(*source, folder, day, id, path, false);
        return;
    }
}

IndexCounts FulltextIndex::counts() {
    IndexCounts counts;
    Statement docs = db_->prepare("SELECT count(*) FROM docs");
    if (docs.step()) counts.documents = docs.integer(0);
    Statement files = db_->prepare("SELECT (SELECT count(*) FROM files), (SELECT count(*) FROM files WHERE evicted>0)");
    if (files.step()) {
        counts.inCloud = files.integer(1);
        counts.files = files.integer(0) - counts.inCloud;
    }
    return counts;
}

}  // namespace qs::Search
