#include "BodyIndexStore.h"

#include <algorithm>
#include <deque>

// Writing segments, merging them, and keeping the texts' parts compact.

namespace {

constexpr std::size_t RowsPerInsert = BodyIndexStore::RowsPerInsert;
constexpr std::size_t IdsPerList = 500;
// Blocks of a segment read at a time while merging, fewer while they are large: the
// list of a common term is a block of its own of up to a few megabytes, and a merge of
// every segment holds a read of each.
constexpr int MergeChunk = 8;
constexpr std::size_t MergeChunkBytes = 512 * 1024;
// The blocks of one insert, at most about this many bytes.
constexpr std::size_t InsertBytes = 1024 * 1024;
// A block of posting lists is written once it holds this much; a longer list is a
// block of its own. Few rows for a segment, and little to read for one term.
constexpr std::size_t BlockBytes = 16 * 1024;
// Kept texts are written in parts of about this size: a row of its own for each text
// would leave most of a page unused.
constexpr std::size_t TextPartBytes = 64 * 1024;

std::string inList(std::size_t n)
{
    return "(" + Placeholders(n) + ")";
}

// The segment being read by a merge: its entries in term order, blocks at a time.
struct Cursor
{
    long long seg = 0;
    std::deque<std::pair<std::string, std::string>> rows; // term, ids
    std::string after; // the first term of the last block read
    int chunk = MergeChunk; // blocks to read next
    bool done = false;
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

long BodyIndexStore::write(const BodyPostings::PendingSegment &segment)
{
    long long seg = 0;
    if (const long code = nextSegment(seg))
        return code;
    // What the index held of these posts (a replaced file, a post indexed again after
    // its removal) is stale in every segment so far.
    const auto &docs = segment.docs();
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
    for (const auto &row : segment.rows()) {
        if (const long code = blocks.add(row.term, row.ids))
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
    std::vector<SqlValue> values;
    std::vector<SqlValue> parts;
    std::string texts;
    auto endPart = [&]() -> long {
        if (texts.empty())
            return 0;
        parts.push_back(SqlValue::fromInteger(part++));
        parts.push_back(SqlValue::fromBlob(std::move(texts)));
        texts.clear();
        return insertRows("insert into " + text_ + " (part, texts) values ", 2, parts);
    };
    const std::string upsert =
            "insert into " + doc_ + " (topicid, filesize, modified, part, at, len) values ";
    const std::string onConflict =
            " on conflict (topicid) do update set filesize = excluded.filesize, modified = "
            "excluded.modified, part = excluded.part, at = excluded.at, len = excluded.len";
    for (const auto &doc : docs) {
        if (!texts.empty() && texts.size() + doc.text.size() > TextPartBytes) {
            if (const long code = endPart())
                return code;
        }
        values.push_back(SqlValue::fromInteger(doc.topicid));
        values.push_back(SqlValue::fromInteger(doc.size));
        values.push_back(SqlValue::fromInteger(doc.modified));
        values.push_back(SqlValue::fromInteger(part));
        values.push_back(SqlValue::fromInteger((long long)texts.size()));
        values.push_back(SqlValue::fromInteger((long long)doc.text.size()));
        texts += doc.text;
        if (values.size() == RowsPerInsert * 6) {
            if (const long code = insertRows(upsert, 6, values, onConflict))
                return code;
        }
    }
    if (const long code = endPart())
        return code;
    return insertRows(upsert, 6, values, onConflict);
}

long BodyIndexStore::mergeFullLevels()
{
    for (long long level = 0;; ++level) {
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
}

long BodyIndexStore::optimize()
{
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
    return compactTexts();
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
    // The bytes of each part that posts still refer to.
    std::unordered_map<long long, long long> used;
    if (const long code = each({"select part, sum(len) from " + doc_ + " group by part", {}, {}},
                               [&](const std::vector<SqlValue> &row) {
                                   used[row[0].integer] = row[1].integer;
                                   return true;
                               }))
        return code;
    std::vector<long long> unused;
    std::vector<long long> rewrite;
    if (const long code = each({"select part, length(texts) from " + text_, {}, {}},
                               [&](const std::vector<SqlValue> &row) {
                                   const auto u = used.find(row[0].integer);
                                   if (u == used.end())
                                       unused.push_back(row[0].integer);
                                   else if (u->second * 2 < row[1].integer)
                                       rewrite.push_back(row[0].integer);
                                   return true;
                               }))
        return code;
    for (long long part : unused) {
        if (const long code = run({"delete from " + text_ + " where part = ?",
                                   {SqlValue::fromInteger(part)},
                                   {}}))
            return code;
    }
    if (rewrite.empty())
        return 0;
    // The texts still used move to new parts, as a segment's are written.
    BodyPostings::PendingSegment moved;
    for (long long part : rewrite) {
        std::string texts;
        if (const long code = each({"select texts from " + text_ + " where part = ?",
                                    {SqlValue::fromInteger(part)},
                                    {}},
                                   [&](const std::vector<SqlValue> &row) {
                                       texts = row[0].text;
                                       return false;
                                   }))
            return code;
        bool broken = false;
        if (const long code = each(
                    {"select topicid, filesize, modified, at, len from " + doc_ + " where part = ?",
                     {SqlValue::fromInteger(part)},
                     {}},
                    [&](const std::vector<SqlValue> &row) {
                        const long long at = row[3].integer;
                        const long long len = row[4].integer;
                        if (at < 0 || len < 0 || at + len > (long long)texts.size()) {
                            broken = true;
                            return false;
                        }
                        moved.addKept(row[0].integer, row[1].integer, row[2].integer,
                                      texts.substr(std::size_t(at), std::size_t(len)));
                        return true;
                    }))
            return code;
        if (broken)
            return brokenData("text");
    }
    if (const long code = writeTexts(moved.docs()))
        return code;
    for (long long part : rewrite) {
        if (const long code = run({"delete from " + text_ + " where part = ?",
                                   {SqlValue::fromInteger(part)},
                                   {}}))
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
    std::vector<Cursor> cursors(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i)
        cursors[i].seg = sources[i].seg;
    bool broken = false;
    auto refill = [&](Cursor &c) -> long {
        if (!c.rows.empty() || c.done)
            return 0;
        int got = 0;
        std::size_t bytes = 0;
        const long code =
                each({"select term, block from " + term_
                              + " where seg = ? and term > ? order by term limit "
                              + std::to_string(c.chunk),
                      {SqlValue::fromInteger(c.seg), SqlValue::fromBlob(c.after)},
                      {}},
                     [&](const std::vector<SqlValue> &row) {
                         c.after = row[0].text;
                         bytes += row[1].text.size();
                         std::size_t at = 0;
                         std::string_view term, ids;
                         while (BodyPostings::NextEntry(row[1].text, at, term, ids, broken))
                             c.rows.emplace_back(term, ids);
                         ++got;
                         return !broken;
                     });
        if (got < c.chunk)
            c.done = true;
        c.chunk = bytes > MergeChunkBytes ? std::max(1, c.chunk / 2)
                                          : std::min(MergeChunk, c.chunk * 2);
        return code;
    };
    BlockWriter out(*this, seg);
    BodyPostings::Ids merged;
    BodyPostings::Ids ids;
    std::string bytes;
    while (true) {
        const std::string *least = nullptr;
        for (Cursor &c : cursors) {
            if (const long code = refill(c))
                return code;
            if (broken)
                return brokenData("block");
            if (!c.rows.empty() && (!least || c.rows.front().first < *least))
                least = &c.rows.front().first;
        }
        if (!least)
            break;
        const std::string term = *least;
        merged.clear();
        for (Cursor &c : cursors) {
            if (c.rows.empty() || c.rows.front().first != term)
                continue;
            if (!BodyPostings::Decode(c.rows.front().second, ids))
                return brokenData("ids");
            if (stale.empty()) {
                merged.insert(merged.end(), ids.begin(), ids.end());
            } else {
                for (long long id : ids) {
                    const auto s = stale.find(id);
                    if (s == stale.end() || s->second <= c.seg)
                        merged.push_back(id);
                }
            }
            c.rows.pop_front();
        }
        if (merged.empty())
            continue;
        // Segments in order of their numbers mostly hold ascending posts.
        if (!std::is_sorted(merged.begin(), merged.end()))
            std::sort(merged.begin(), merged.end());
        BodyPostings::Encode(merged, bytes);
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
