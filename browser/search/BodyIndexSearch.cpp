#include "BodyIndexStore.h"

#include "browser/db/DbError.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_map>

namespace {

// Ids of one IN list, and kept texts read at a time for the exact check.
constexpr std::size_t IdsPerList = 500;
constexpr std::size_t TextsPerRead = 200;
// Texts to check from which a second connection reads half of them.
constexpr std::size_t ParallelTexts = 1000;
// A post's kept text checked for a phrase costs about as much as reading and decoding
// this many bytes of posting lists (a text takes a few reads, shared out between two
// connections when there are many). A phrase's candidates are narrowed by its terms'
// lists, rarest first, only while a list costs less than the checks it saves, counting
// on it to leave out half of them: the check is exact either way, and a common pair's
// list is a megabyte.
constexpr long long TextCheckBytes = 128;

struct Condition
{
    std::string pattern; // TermPattern
    bool exact = false; // the index's lists alone answer it
    BodyPostings::Ids ids; // the posts the index says may match
};

} // namespace

long BodyIndexStore::postings(const std::string &term, const std::vector<Segment> &segs,
                              const Stale &stale, BodyPostings::Ids &ids)
{
    ids.clear();
    BodyPostings::Ids part;
    bool broken = false;
    int lists = 0;
    for (const Segment &segment : segs) {
        // The block that would hold the term: the last one starting at or before it.
        const long code =
                each({"select block from " + term_
                              + " where seg = ? and term <= ? order by term desc limit 1",
                      {SqlValue::fromInteger(segment.seg), SqlValue::fromBlob(term)},
                      {}},
                     [&](const std::vector<SqlValue> &row) {
                         std::size_t at = 0;
                         std::string_view t, list;
                         while (BodyPostings::NextEntry(row[0].text, at, t, list, broken)) {
                             if (t != term)
                                 continue;
                             // The first list is decoded where it is kept: most
                             // terms lie in one segment.
                             BodyPostings::Ids &into = lists == 0 ? ids : part;
                             if (!BodyPostings::Decode(list, into)) {
                                 broken = true;
                                 break;
                             }
                             if (!stale.empty()) {
                                 into.erase(std::remove_if(into.begin(), into.end(),
                                                           [&](long long id) {
                                                               const auto s = stale.find(id);
                                                               return s != stale.end()
                                                                       && s->second > segment.seg;
                                                           }),
                                            into.end());
                             }
                             if (lists > 0)
                                 ids.insert(ids.end(), part.begin(), part.end());
                             ++lists;
                             break;
                         }
                         return false;
                     });
        if (code)
            return code;
        if (broken)
            return brokenData("block");
    }
    // Segments hold different posts, but not in order of their numbers.
    if (lists > 1)
        std::sort(ids.begin(), ids.end());
    return 0;
}

long BodyIndexStore::listBytes(const std::string &term, const std::vector<Segment> &segs,
                               long long &bytes)
{
    bytes = 0;
    const std::string length = engine_ == DbEngine::PostgreSQL ? "octet_length" : "length";
    for (const Segment &segment : segs) {
        // Neither engine reads a value to give its length.
        if (const long code = each({"select " + length + "(block) from " + term_
                                            + " where seg = ? and term <= ? order by term "
                                              "desc limit 1",
                                    {SqlValue::fromInteger(segment.seg), SqlValue::fromBlob(term)},
                                    {}},
                                   [&](const std::vector<SqlValue> &row) {
                                       bytes += row[0].integer;
                                       return false;
                                   }))
            return code;
    }
    return 0;
}

namespace {

// The kept texts of ids[from, to) read through ado on SQLite, each handed to keep, the
// ids it keeps added to kept. 0 or ado's code; broken when a part is missing or shorter
// than a post says (the index is broken: a database that is gone or failing says so
// itself).
long readSqliteTexts(CAdoManager &ado, const std::string &doc, const std::string &text,
                     const BodyPostings::Ids &ids, std::size_t from, std::size_t to,
                     const BodyIndexStore::KeepText &keep, BodyPostings::Ids &kept, bool &broken)
{
    std::vector<BlobSlice> slices;
    std::vector<long long> owners; // by slice
    std::vector<std::size_t> order;
    std::vector<BlobSlice> sorted;
    for (std::size_t at = from; at < to; at += TextsPerRead) {
        const std::size_t n = std::min(TextsPerRead, to - at);
        BoundStatement select {"select topicid, part, at, len from " + doc + " where topicid in ("
                                       + Placeholders(n) + ")",
                               {},
                               {}};
        for (std::size_t i = 0; i < n; ++i)
            select.values.push_back(SqlValue::fromInteger(ids[at + i]));
        slices.clear();
        owners.clear();
        if (const long code = ado.ForEachRow(select, [&](const std::vector<SqlValue> &row) {
                owners.push_back(row[0].integer);
                slices.push_back({row[1].integer, row[2].integer, row[3].integer, {}});
                return true;
            }))
            return code;
        // Each text read where it lies, from the part it starts in on through the parts
        // its write ran on to.
        order.resize(slices.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return std::tie(slices[a].rowid, slices[a].at)
                    < std::tie(slices[b].rowid, slices[b].at);
        });
        sorted.clear();
        for (const std::size_t i : order)
            sorted.push_back(std::move(slices[i]));
        if (const long code =
                    ado.ReadBlobSlices(text, "texts", sorted, BodyIndexStore::TextRunBytes)) {
            broken = !IsFatalDbError(code) && EngineOfCode(code) == DbEngine::SQLite;
            return code;
        }
        for (std::size_t k = 0; k < sorted.size(); ++k) {
            if (keep(owners[order[k]], sorted[k].bytes))
                kept.push_back(owners[order[k]]);
        }
    }
    return 0;
}

// What a second connection read of the texts.
struct OtherHalf
{
    bool read = false; // false: it could not be opened, or is not on the same file
    long code = 0;
    bool broken = false;
    std::string problem;
    BodyPostings::Ids kept;
};

void readOtherHalf(const std::string &connection, const std::string &file, const std::string &doc,
                   const std::string &text, const BodyPostings::Ids &ids, std::size_t from,
                   const BodyIndexStore::KeepText &keep, OtherHalf &half)
{
    CAdoManager ado;
    if (ado.OpenAdoConnection(connection) != 0 || ado.SqliteFile() != file
        || ado.ExecuteSql("BEGIN DEFERRED", CAdoManager::CommandText) != 0)
        return;
    half.read = true;
    half.code =
            readSqliteTexts(ado, doc, text, ids, from, ids.size(), keep, half.kept, half.broken);
    if (half.code)
        half.problem = ado.LastError();
    // Nothing was written.
    ado.ExecuteSql(half.code ? "ROLLBACK" : "COMMIT", CAdoManager::CommandText);
}

} // namespace

long BodyIndexStore::readTexts(const BodyPostings::Ids &ids,
                               const std::vector<std::string> &mustHold, const KeepText &keep,
                               BodyPostings::Ids &kept, bool otherReaders)
{
    kept.clear();
    if (engine_ == DbEngine::SQLite) {
        // Checking a text is mostly waiting on a few reads: with many to check, a second
        // connection on a thread of its own reads the later half beside this one. Its
        // snapshot is its own, taken a moment after this search's: a write committed in
        // between shows there for the posts it touched, as if it had come just before
        // the search. Not in a caller's transaction, whose writes only this connection
        // sees.
        const std::string file = otherReaders && ids.size() >= ParallelTexts
                        && std::thread::hardware_concurrency() > 1
                ? ado_.SqliteFile()
                : std::string();
        std::size_t mid = ids.size();
        OtherHalf other;
        std::thread worker;
        if (!file.empty()) {
            try {
                worker = std::thread(readOtherHalf, std::cref(ado_.ConnectionString()),
                                     std::cref(file), std::cref(doc_), std::cref(text_),
                                     std::cref(ids), ids.size() / 2, std::cref(keep),
                                     std::ref(other));
                mid = ids.size() / 2;
            } catch (const std::system_error &) {
                // No thread to be had: this one reads them all.
            }
        }
        bool broken = false;
        long code = readSqliteTexts(ado_, doc_, text_, ids, 0, mid, keep, kept, broken);
        if (worker.joinable())
            worker.join();
        if (code == 0 && mid < ids.size() && !other.read)
            code = readSqliteTexts(ado_, doc_, text_, ids, mid, ids.size(), keep, kept, broken);
        if (code) {
            problem_ = ado_.LastError();
        } else if (other.code) {
            code = other.code;
            broken = other.broken;
            problem_ = other.problem;
        }
        if (code)
            return broken ? brokenData("text") : code;
        kept.insert(kept.end(), other.kept.begin(), other.kept.end());
        return 0;
    }
    for (std::size_t at = 0; at < ids.size(); at += TextsPerRead) {
        const std::size_t n = std::min(TextsPerRead, ids.size() - at);
        BoundStatement select {{}, {}, {}};
        for (std::size_t i = 0; i < n; ++i)
            select.values.push_back(SqlValue::fromInteger(ids[at + i]));
        // The server cuts each text out of its part, which it keeps uncompressed,
        // reading only those bytes, and sends only the texts that hold every pattern
        // as bytes: of a phrase's candidates most do not. A missing or short part is
        // always sent, to be refused here.
        select.sql = "select d.topicid, x.s, d.len from " + doc_ + " d left join " + text_
                + " t on t.part = d.part cross join lateral (select substr(t.texts, "
                  "cast(d.at + 1 as integer), cast(d.len as integer)) as s offset 0) x "
                  "where d.topicid in ("
                + Placeholders(n) + ")";
        if (!mustHold.empty()) {
            select.sql += " and (x.s is null or length(x.s) <> d.len";
            for (const std::string &bytes : mustHold) {
                select.sql += std::string(&bytes == &mustHold.front() ? " or (" : " and ")
                        + "position(? in x.s) > 0";
                select.values.push_back(SqlValue::fromBlob(bytes));
            }
            select.sql += "))";
        }
        bool broken = false;
        if (const long code = each(select, [&](const std::vector<SqlValue> &row) {
                // A part that is missing or shorter than the post says.
                broken = row[1].kind == SqlValue::Null
                        || (long long)row[1].text.size() != row[2].integer;
                if (!broken && keep(row[0].integer, row[1].text))
                    kept.push_back(row[0].integer);
                return !broken;
            }))
            return code;
        if (broken)
            return brokenData("text");
    }
    return 0;
}

long BodyIndexStore::inScope(const BodySearchScope &scope, BodyPostings::Ids &ids)
{
    if (scope.roomids.empty() || ids.empty())
        return 0;
    BodyPostings::Ids kept;
    for (std::size_t at = 0; at < ids.size(); at += IdsPerList) {
        const std::size_t n = std::min(IdsPerList, ids.size() - at);
        BoundStatement select {"select topicid from " + table_ + " where topicid in ("
                                       + Placeholders(n) + ") and roomid in ("
                                       + Placeholders(scope.roomids.size()) + ")",
                               {},
                               {}};
        for (std::size_t i = 0; i < n; ++i)
            select.values.push_back(SqlValue::fromInteger(ids[at + i]));
        for (const std::string &room : scope.roomids)
            select.values.push_back(RoomValue(room));
        if (const long code = each(select, [&](const std::vector<SqlValue> &row) {
                kept.push_back(row[0].integer);
                return true;
            }))
            return code;
    }
    std::sort(kept.begin(), kept.end());
    ids = std::move(kept);
    return 0;
}

long BodyIndexStore::search(const SearchQuery &query, const BodySearchScope &scope,
                            long long offset, int limit, BodySearchResult &result,
                            bool otherReaders)
{
    Stale stale;
    if (const long code = staleEntries(stale))
        return code;
    std::vector<Segment> segs;
    if (const long code = segments(segs))
        return code;
    // Each index term is read once, however many query terms need it; a list is moved,
    // not copied, where it is needed for the last time (a common term's list is
    // megabytes).
    struct List
    {
        int uses = 0;
        bool read = false;
        BodyPostings::Ids ids;
    };
    std::map<std::string, List> lists;
    for (const SearchTerm &term : query.terms) {
        bool exact = false;
        for (const std::string &t : IndexTermsOf(term, exact))
            ++lists[t].uses;
    }
    auto candidates = [&](const SearchTerm &term, Condition &c) -> long {
        std::vector<std::string> terms = IndexTermsOf(term, c.exact);
        c.pattern = TermPattern(term);
        std::vector<long long> bytes(terms.size(), 0);
        if (!c.exact && !term.excluded) {
            std::vector<std::pair<long long, std::string>> bySize;
            for (const std::string &t : terms) {
                long long b = 0;
                if (const long code = listBytes(t, segs, b))
                    return code;
                bySize.emplace_back(b, t);
            }
            std::stable_sort(bySize.begin(), bySize.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            for (std::size_t i = 0; i < terms.size(); ++i)
                std::tie(bytes[i], terms[i]) = std::move(bySize[i]);
        }
        for (std::size_t i = 0; i < terms.size(); ++i) {
            List &list = lists[terms[i]];
            if (i > 0 && !c.exact && !term.excluded && !list.read
                && bytes[i] > (long long)c.ids.size() * TextCheckBytes) {
                // Dearer than checking the candidates' texts. A list another term has
                // read already narrows them for nothing.
                --list.uses;
                continue;
            }
            if (!list.read) {
                list.read = true;
                if (const long code = postings(terms[i], segs, stale, list.ids))
                    return code;
            }
            const bool last = --list.uses <= 0;
            if (i > 0)
                c.ids = BodyPostings::Intersect(c.ids, list.ids);
            else
                c.ids = last ? std::move(list.ids) : list.ids;
            if (c.ids.empty())
                break;
        }
        return 0;
    };
    std::vector<Condition> positive;
    std::vector<Condition> excluded;
    for (const SearchTerm &term : query.terms) {
        Condition c;
        if (const long code = candidates(term, c))
            return code;
        (term.excluded ? excluded : positive).push_back(std::move(c));
    }
    if (positive.empty())
        return 0;
    // The rarest first: every later list only narrows it.
    std::sort(positive.begin(), positive.end(),
              [](const Condition &a, const Condition &b) { return a.ids.size() < b.ids.size(); });
    BodyPostings::Ids ids = std::move(positive.front().ids); // no longer needed there
    for (std::size_t i = 1; i < positive.size() && !ids.empty(); ++i)
        ids = BodyPostings::Intersect(ids, positive[i].ids);
    bool check = false;
    for (Condition &c : excluded) {
        if (c.exact) {
            ids = BodyPostings::Subtract(ids, c.ids);
        } else {
            c.ids = BodyPostings::Intersect(ids, c.ids);
            check = check || !c.ids.empty();
        }
    }
    if (const long code = inScope(scope, ids))
        return code;
    for (const Condition &c : positive)
        check = check || !c.exact;
    if (check && !ids.empty()) {
        // Patterns of more than one index term: their terms may stand apart in a post.
        std::vector<std::string> mustHold;
        for (const Condition &c : positive) {
            if (!c.exact)
                mustHold.push_back(c.pattern);
        }
        BodyPostings::Ids kept;
        const long code = readTexts(
                ids, mustHold,
                [&](long long id, const std::string &text) {
                    for (const Condition &c : positive) {
                        if (!c.exact && !BodyPostings::ContainsPattern(text, c.pattern))
                            return false;
                    }
                    for (const Condition &c : excluded) {
                        if (!c.exact && std::binary_search(c.ids.begin(), c.ids.end(), id)
                            && BodyPostings::ContainsPattern(text, c.pattern))
                            return false;
                    }
                    return true;
                },
                kept, otherReaders);
        if (code)
            return code;
        std::sort(kept.begin(), kept.end());
        ids = std::move(kept);
    }
    result.count = (long long)ids.size();
    for (long long i = (long long)ids.size() - 1 - offset; i >= 0 && limit > 0; --i, --limit)
        result.topicids.push_back(ids[std::size_t(i)]);
    return 0;
}
