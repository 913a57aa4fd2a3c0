#include "BodyIndexStore.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

// Writing segments, merging them, and keeping the texts' parts compact.

namespace {

constexpr std::size_t RowsPerInsert = BodyIndexStore::RowsPerInsert;
constexpr std::size_t IdsPerList = 500;
// Blocks of a segment read at a time while merging, fewer while they are large: the
// list of a common term is a block of its own of up to a few megabytes, and a merge of
// every segment holds a read of each.
constexpr int MergeChunk = 8;
constexpr std::size_t MergeChunkBytes = 512 * 1024;
// The blocks a merge reads ahead over all its segments, at most.
constexpr std::size_t MergeReadBlocks = 512;
// The blocks of one insert, at most about this many bytes.
constexpr std::size_t InsertBytes = 1024 * 1024;
// A block of posting lists is written once it holds this much; a longer list is a
// block of its own. Few rows for a segment, and little to read for one term.
constexpr std::size_t BlockBytes = 16 * 1024;
// PostgreSQL keeps texts whole in parts of at most about this size (a longer text is
// a part of its own). Two fill a page, and a part that small stays in its row
// (Create), so that checking a text is one look-up instead of one in TOAST as well.
constexpr std::size_t TextPartBytes = 4000;
constexpr std::size_t RunBytes = BodyIndexStore::TextRunBytes;
// Parts of a SQLite run inserted by one statement; PostgreSQL's, up to InsertBytes.
constexpr std::size_t PartsPerInsert = 32;

std::string inList(std::size_t n)
{
    return "(" + Placeholders(n) + ")";
}

// The segment being read by a merge: its blocks in term order, a few at a time, and
// the entry it is at (views into the first block).
struct Cursor
{
    long long seg = 0;
    std::deque<std::string> blocks; // read and not yet passed
    std::size_t at = 0; // in blocks.front(), past the entry
    std::string_view term, ids; // the entry, while has
    bool has = false;
    std::string after; // the first term of the last block read
    int chunk = MergeChunk; // blocks to read next
    bool done = false; // nothing left to read
};

} // namespace

class BodyIndexStore::BlockWriter
{
public:
    BlockWriter(BodyIndexStore &store, long long seg)
        : store_(store)
        , seg_(seg)
        , insert_("insert into " + store.term_ + " (seg, term, block) values ")
    {
    }
    long add(std::string_view term, std::string_view ids)
    {
        if (!block_.empty() && block_.size() + term.size() + ids.size() > BlockBytes) {
            if (const long code = end())
                return code;
        }
        if (block_.empty())
            first_ = term;
        BodyPostings::AppendEntry(block_, term, ids);
        return 0;
    }
    long finish()
    {
        if (const long code = end())
            return code;
        return store_.insertRows(insert_, 3, values_);
    }

private:
    long end()
    {
        if (block_.empty())
            return 0;
        values_.push_back(SqlValue::fromInteger(seg_));
        values_.push_back(SqlValue::fromBlob(first_));
        bytes_ += block_.size();
        values_.push_back(SqlValue::fromBlob(std::move(block_)));
        block_.clear();
        // Blocks are large, and the list of a common term is a block of megabytes: a few
        // at a time, and never many megabytes (a server's driver copies each several
        // times over).
        if (values_.size() >= 3 * 16 || bytes_ >= InsertBytes) {
            bytes_ = 0;
            return store_.insertRows(insert_, 3, values_);
        }
        return 0;
    }

    BodyIndexStore &store_;
    long long seg_;
    std::string insert_;
    std::string first_;
    std::string block_;
    std::vector<SqlValue> values_;
    std::size_t bytes_ = 0; // of the blocks in values_
};

long BodyIndexStore::write(const BodyPostings::SealedSegment &segment)
{
    if (const long code = lockWrites())
        return code;
    const auto &docs = segment.docs;
    long long seg = 0;
    if (const long code = nextSegment(seg))
        return code;
    // What the index held of these posts (a replaced file, a post indexed again after
    // its removal) is stale in every segment so far.
    for (std::size_t at = 0; at < docs.size(); at += IdsPerList) {
        const std::size_t n = std::min(IdsPerList, docs.size() - at);
        BoundStatement update {"update " + stale_ + " set below = ? where topicid in " + inList(n),
                               {SqlValue::fromInteger(seg)},
                               {}};
        for (std::size_t i = 0; i < n; ++i)
            update.values.push_back(SqlValue::fromInteger(docs[at + i].topicid));
        if (const long code = run(update))
            return code;
        update.sql = "insert into " + stale_ + " (topicid, below) select topicid, ? from " + doc_
                + " where topicid in " + inList(n)
                + " on conflict (topicid) do update set below = excluded.below";
        if (const long code = run(update))
            return code;
    }
    if (const long code = writeTexts(docs))
        return code;
    BlockWriter blocks(*this, seg);
    std::size_t at = 0;
    std::string_view term, ids;
    bool broken = false;
    while (BodyPostings::NextEntry(segment.entries, at, term, ids, broken)) {
        if (const long code = blocks.add(term, ids))
            return code;
    }
    if (const long code = blocks.finish())
        return code;
    if (const long code = run({"insert into " + seg_ + " (seg, level) values (?, 0)",
                               {SqlValue::fromInteger(seg)},
                               {}}))
        return code;
    return mergeFullLevels();
}

long BodyIndexStore::writeTexts(const std::vector<BodyPostings::PendingSegment::Doc> &docs)
{
    // The texts in parts, and the posts' rows saying where theirs is.
    long long part = 0;
    if (const long code = number({"select coalesce(max(part), 0) + 1 from " + text_, {}, {}}, part))
        return code;
    const bool runOn = engine_ == DbEngine::SQLite;
    std::vector<SqlValue> values;
    std::vector<SqlValue> parts;
    std::string texts;
    std::size_t partBytes = 0; // in parts
    const std::string insertParts = "insert into " + text_ + " (part, texts) values ";
    auto endPart = [&]() -> long {
        if (texts.empty())
            return 0;
        partBytes += texts.size();
        parts.push_back(SqlValue::fromInteger(part++));
        parts.push_back(SqlValue::fromBlob(std::move(texts)));
        texts.clear();
        const std::size_t n = parts.size() / 2;
        if (runOn ? n < PartsPerInsert : n < RowsPerInsert && partBytes < InsertBytes)
            return 0;
        partBytes = 0;
        return insertRows(insertParts, 2, parts);
    };
    const std::string upsert =
            "insert into " + doc_ + " (topicid, filesize, modified, part, at, len) values ";
    const std::string onConflict =
            " on conflict (topicid) do update set filesize = excluded.filesize, modified = "
            "excluded.modified, part = excluded.part, at = excluded.at, len = excluded.len";
    for (const auto &doc : docs) {
        if (!runOn && !texts.empty() && texts.size() + doc.text.size() > TextPartBytes) {
            if (const long code = endPart())
                return code;
        }
        values.push_back(SqlValue::fromInteger(doc.topicid));
        values.push_back(SqlValue::fromInteger(doc.size));
        values.push_back(SqlValue::fromInteger(doc.modified));
        values.push_back(SqlValue::fromInteger(part));
        values.push_back(SqlValue::fromInteger((long long)texts.size()));
        values.push_back(SqlValue::fromInteger((long long)doc.text.size()));
        if (!runOn) {
            texts += doc.text;
        } else {
            for (std::string_view rest = doc.text; !rest.empty();) {
                const std::size_t take = std::min(rest.size(), RunBytes - texts.size());
                texts.append(rest.substr(0, take));
                rest.remove_prefix(take);
                if (texts.size() == RunBytes) {
                    if (const long code = endPart())
                        return code;
                }
            }
        }
        if (values.size() == RowsPerInsert * 6) {
            if (const long code = insertRows(upsert, 6, values, onConflict))
                return code;
        }
    }
    if (const long code = endPart())
        return code;
    if (const long code = insertRows(insertParts, 2, parts))
        return code;
    return insertRows(upsert, 6, values, onConflict);
}

long BodyIndexStore::mergeFullLevels()
{
    for (long long level = 0; level < mergeLevels_; ++level) {
        std::vector<Segment> all;
        if (const long code = segments(all))
            return code;
        std::vector<Segment> full;
        for (const Segment &s : all) {
            if (s.level == level)
                full.push_back(s);
        }
        if (full.size() < std::size_t(BodyIndex::MergeFanIn))
            return 0;
        if (const long code = merge(full, level + 1))
            return code;
    }
    return 0;
}

long BodyIndexStore::optimize()
{
    if (const long code = lockWrites())
        return code;
    std::vector<Segment> all;
    if (const long code = segments(all))
        return code;
    long long staleCount = 0;
    if (const long code = number({"select count(*) from " + stale_, {}, {}}, staleCount))
        return code;
    if (all.empty() || (all.size() == 1 && staleCount == 0))
        return 0;
    long long level = 0;
    for (const Segment &s : all)
        level = std::max(level, s.level);
    if (const long code = merge(all, level + 1))
        return code;
    // Every segment has been rewritten without its stale entries.
    if (const long code = run("delete from " + stale_))
        return code;
    // With no post replaced or removed since the last Optimize, every text is still used
    // where it lies.
    return staleCount > 0 ? compactTexts() : 0;
}

long BodyIndexStore::reclaim()
{
    if (engine_ != DbEngine::PostgreSQL)
        return 0;
    for (const std::string &table : {term_, text_}) {
        if (const long code = run("vacuum full " + table))
            return code;
    }
    return 0;
}

long BodyIndexStore::compactTexts()
{
    // Every part's size, and the bytes of it that posts still refer to.
    struct Part
    {
        long long part = 0;
        long long size = 0;
        long long used = 0;
    };
    std::vector<Part> parts;
    if (const long code =
                each({"select part, length(texts) from " + text_ + " order by part", {}, {}},
                     [&](const std::vector<SqlValue> &row) {
                         parts.push_back({row[0].integer, row[1].integer, 0});
                         return true;
                     }))
        return code;
    const long long runBytes = engine_ == DbEngine::SQLite ? TextRunBytes : 0;
    // Calls use(part, bytes) for each part a text lies in; false if it leaves them.
    const auto walk = [&](long long part, long long at, long long len, auto use) {
        auto p = std::lower_bound(parts.begin(), parts.end(), part,
                                  [](const Part &a, long long b) { return a.part < b; });
        while (len > 0) {
            if (p == parts.end() || p->part != part || at >= p->size)
                return false;
            const long long n = std::min(len, p->size - at);
            if (n < len && p->size != runBytes)
                return false;
            use(*p, n);
            len -= n;
            ++p;
            ++part;
            at = 0;
        }
        return true;
    };
    struct Moving
    {
        long long filesize = 0;
        long long modified = 0;
        long long part = 0;
        long long at = 0;
        long long len = 0;
    };
    const std::string selectDocs = "select topicid, filesize, modified, part, at, len from " + doc_;
    const auto docOf = [](const std::vector<SqlValue> &row) {
        return Moving {row[1].integer, row[2].integer, row[3].integer, row[4].integer,
                       row[5].integer};
    };
    bool broken = false;
    if (const long code = each({selectDocs, {}, {}}, [&](const std::vector<SqlValue> &row) {
            const Moving doc = docOf(row);
            broken = doc.at < 0 || doc.len < 0
                    || !walk(doc.part, doc.at, doc.len, [](Part &p, long long n) { p.used += n; });
            return !broken;
        }))
        return code;
    if (broken)
        return brokenData("text");
    // The texts in a part mostly unused move to new parts, as a segment's are written,
    // and leave nothing in it.
    const auto sparse = [](const Part &p) { return p.used > 0 && p.used * 2 < p.size; };
    if (std::any_of(parts.begin(), parts.end(), sparse)) {
        std::unordered_map<long long, Moving> docs;
        if (const long code = each({selectDocs, {}, {}}, [&](const std::vector<SqlValue> &row) {
                const Moving doc = docOf(row);
                bool move = false;
                walk(doc.part, doc.at, doc.len,
                     [&](Part &p, long long) { move = move || sparse(p); });
                if (move)
                    docs.emplace(row[0].integer, doc);
                return true;
            }))
            return code;
        BodyPostings::Ids ids;
        for (const auto &d : docs)
            ids.push_back(d.first);
        std::sort(ids.begin(), ids.end());
        BodyPostings::PendingSegment moved;
        BodyPostings::Ids none;
        if (const long code = readTexts(
                    ids, {},
                    [&](long long id, const std::string &text) {
                        if (const auto doc = docs.find(id); doc != docs.end())
                            moved.addKept(id, doc->second.filesize, doc->second.modified, text);
                        return false;
                    },
                    none, false))
            return code;
        if (const long code = writeTexts(moved.docs()))
            return code;
        for (const auto &d : docs)
            walk(d.second.part, d.second.at, d.second.len,
                 [](Part &p, long long n) { p.used -= n; });
    }
    std::vector<SqlValue> unused;
    for (const Part &p : parts) {
        if (p.used == 0)
            unused.push_back(SqlValue::fromInteger(p.part));
    }
    for (std::size_t at = 0; at < unused.size(); at += IdsPerList) {
        const std::size_t n = std::min(IdsPerList, unused.size() - at);
        BoundStatement remove {"delete from " + text_ + " where part in " + inList(n), {}, {}};
        remove.values.assign(unused.begin() + std::ptrdiff_t(at),
                             unused.begin() + std::ptrdiff_t(at + n));
        if (const long code = run(remove))
            return code;
    }
    return 0;
}

// A k-way merge of the segments' rows, all in term order: memory holds a chunk of each
// and one term's lists, whatever the segments' size.
long BodyIndexStore::merge(const std::vector<Segment> &sources, long long level)
{
    long long seg = 0;
    if (const long code = nextSegment(seg))
        return code;
    Stale stale;
    if (const long code = staleEntries(stale))
        return code;
    // Many segments at once (those a build left to its Optimize) read fewer blocks each.
    const int chunkMost = std::clamp(
            int(MergeReadBlocks / std::max<std::size_t>(1, sources.size())), 1, MergeChunk);
    std::vector<Cursor> cursors(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        cursors[i].seg = sources[i].seg;
        cursors[i].chunk = chunkMost;
    }
    bool broken = false;
    const auto read = [&](Cursor &c) -> long {
        int got = 0;
        std::size_t bytes = 0;
        const long code = each({"select term, block from " + term_
                                        + " where seg = ? and term > ? order by term limit "
                                        + std::to_string(c.chunk),
                                {SqlValue::fromInteger(c.seg), SqlValue::fromBlob(c.after)},
                                {}},
                               [&](const std::vector<SqlValue> &row) {
                                   c.after = row[0].text;
                                   bytes += row[1].text.size();
                                   c.blocks.push_back(row[1].text);
                                   ++got;
                                   return true;
                               });
        if (got < c.chunk)
            c.done = true;
        c.chunk = bytes > MergeChunkBytes ? std::max(1, c.chunk / 2)
                                          : std::min(chunkMost, c.chunk * 2);
        return code;
    };
    // Moves a cursor to its next entry, reading blocks as needed.
    const auto next = [&](Cursor &c) -> long {
        c.has = false;
        while (true) {
            if (c.blocks.empty()) {
                if (c.done)
                    return 0;
                if (const long code = read(c))
                    return code;
                continue;
            }
            if (BodyPostings::NextEntry(c.blocks.front(), c.at, c.term, c.ids, broken)) {
                c.has = true;
                return 0;
            }
            if (broken)
                return brokenData("block");
            c.blocks.pop_front();
            c.at = 0;
        }
    };
    // The cursors with an entry, the least term first, and of equal terms the earlier
    // segment: a heap, since a merge of many segments finds most terms in few of them.
    std::vector<std::size_t> heap;
    const auto later = [&](std::size_t a, std::size_t b) {
        const int order = cursors[a].term.compare(cursors[b].term);
        return order > 0 || (order == 0 && a > b);
    };
    const auto advance = [&](std::size_t i) -> long {
        if (const long code = next(cursors[i]))
            return code;
        if (cursors[i].has) {
            heap.push_back(i);
            std::push_heap(heap.begin(), heap.end(), later);
        }
        return 0;
    };
    for (std::size_t i = 0; i < cursors.size(); ++i) {
        if (const long code = advance(i))
            return code;
    }
    BlockWriter out(*this, seg);
    BodyPostings::Ids merged;
    BodyPostings::Ids ids;
    BodyPostings::Ids scratch;
    std::vector<std::size_t> runs;
    std::string bytes;
    std::string term;
    std::vector<std::size_t> holding; // in segment order
    while (!heap.empty()) {
        term = cursors[heap.front()].term;
        holding.clear();
        while (!heap.empty() && cursors[heap.front()].term == term) {
            std::pop_heap(heap.begin(), heap.end(), later);
            holding.push_back(heap.back());
            heap.pop_back();
        }
        // Segments in order of their numbers mostly hold ascending posts: their lists
        // are joined as bytes, without unpacking them, unless some entry is stale.
        bool joined = stale.empty();
        bytes.clear();
        long long last = 0;
        for (std::size_t k = 0; joined && k < holding.size(); ++k)
            joined = BodyPostings::AppendList(bytes, last, cursors[holding[k]].ids);
        if (!joined) {
            // Each segment's list is ascending; an import's segments interleave their
            // posts, so the lists are merged.
            merged.clear();
            runs.assign(1, 0);
            for (const std::size_t i : holding) {
                if (!BodyPostings::Decode(cursors[i].ids, ids))
                    return brokenData("ids");
                if (stale.empty()) {
                    merged.insert(merged.end(), ids.begin(), ids.end());
                } else {
                    for (long long id : ids) {
                        const auto s = stale.find(id);
                        if (s == stale.end() || s->second <= cursors[i].seg)
                            merged.push_back(id);
                    }
                }
                runs.push_back(merged.size());
            }
            BodyPostings::MergeRuns(merged, runs, scratch);
            BodyPostings::Encode(merged, bytes);
        }
        for (const std::size_t i : holding) {
            if (const long code = advance(i))
                return code;
        }
        if (bytes.empty())
            continue;
        if (const long code = out.add(term, bytes))
            return code;
    }
    if (const long code = out.finish())
        return code;
    for (const Segment &s : sources) {
        for (const std::string &table : {term_, seg_}) {
            if (const long code = run({"delete from " + table + " where seg = ?",
                                       {SqlValue::fromInteger(s.seg)},
                                       {}}))
                return code;
        }
    }
    return run({"insert into " + seg_ + " (seg, level) values (?, ?)",
                {SqlValue::fromInteger(seg), SqlValue::fromInteger(level)},
                {}});
}
