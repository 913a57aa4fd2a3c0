#include "BodyPostings.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>

namespace BodyPostings {

namespace {

constexpr std::size_t MaxVarintBytes = 10;

char *putVarint(char *out, unsigned long long v)
{
    while (v >= 0x80) {
        *out++ = char((v & 0x7F) | 0x80);
        v >>= 7;
    }
    *out++ = char(v);
    return out;
}

void putVarint(std::string &out, unsigned long long v)
{
    while (v >= 0x80) {
        out += char((v & 0x7F) | 0x80);
        v >>= 7;
    }
    out += char(v);
}

bool getVarint(std::string_view bytes, std::size_t &at, unsigned long long &v)
{
    v = 0;
    for (int shift = 0; shift < 64 && at < bytes.size(); shift += 7) {
        const auto b = static_cast<unsigned char>(bytes[at++]);
        v |= static_cast<unsigned long long>(b & 0x7F) << shift;
        if (b < 0x80)
            return true;
    }
    return false;
}

// A term of up to 7 bytes as one number: its bytes and its length (never 0).
std::uint64_t shortTermKey(std::string_view term)
{
    std::uint64_t key = term.size();
    for (std::size_t i = 0; i < term.size(); ++i)
        key |= std::uint64_t(static_cast<unsigned char>(term[i])) << (8 * (i + 1));
    return key;
}

std::size_t slotOf(std::uint64_t key, std::size_t mask)
{
    return std::size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & mask;
}

// Sorts by the number, a byte at a time from the lowest (a radix sort, stable), passing
// over bytes that are the same in all: a segment's terms are a hundred thousand or more,
// and a comparison sort took most of the time of making its rows.
void sortByPrefix(std::vector<std::pair<std::uint64_t, std::uint32_t>> &keyed)
{
    std::vector<std::pair<std::uint64_t, std::uint32_t>> other(keyed.size());
    for (int shift = 0; shift < 64; shift += 8) {
        std::size_t count[257] = {};
        for (const auto &k : keyed)
            ++count[((k.first >> shift) & 0xFF) + 1];
        if (std::any_of(std::begin(count), std::end(count),
                        [&](std::size_t c) { return c == keyed.size(); }))
            continue;
        for (int b = 1; b < 257; ++b)
            count[b] += count[b - 1];
        for (const auto &k : keyed)
            other[count[(k.first >> shift) & 0xFF]++] = k;
        keyed.swap(other);
    }
}

// Calls id() with each id of a list's bytes in order; false where the bytes are not a
// list Encode made (ids before the fault may have been given). firstEnd: where the
// varint of the first id ends.
template<class F>
bool forEachId(std::string_view bytes, std::size_t &firstEnd, F &&id)
{
    std::size_t at = 0;
    unsigned long long v = 0;
    if (bytes.empty())
        return true;
    if (!getVarint(bytes, at, v))
        return false;
    long long current = static_cast<long long>(v >> 1) ^ -static_cast<long long>(v & 1);
    firstEnd = at;
    id(current);
    while (at < bytes.size()) {
        if (!getVarint(bytes, at, v) || v == 0)
            return false;
        // In unsigned arithmetic: a gap may span the whole range of ids, and one that
        // wraps past the largest is broken.
        const auto next = static_cast<long long>(static_cast<unsigned long long>(current) + v);
        if (next <= current)
            return false;
        current = next;
        id(current);
    }
    return true;
}

} // namespace

void MergeRuns(Ids &values, std::vector<std::size_t> &bounds, Ids &scratch)
{
    std::vector<std::size_t> next;
    while (bounds.size() > 2) {
        scratch.resize(values.size());
        next.assign(1, 0);
        for (std::size_t r = 0; r + 1 < bounds.size(); r += 2) {
            const auto from = std::ptrdiff_t(bounds[r]);
            const auto middle = std::ptrdiff_t(bounds[r + 1]);
            const auto to = std::ptrdiff_t(r + 2 < bounds.size() ? bounds[r + 2] : bounds[r + 1]);
            std::merge(values.begin() + from, values.begin() + middle, values.begin() + middle,
                       values.begin() + to, scratch.begin() + from);
            next.push_back(std::size_t(to));
        }
        values.swap(scratch);
        bounds.swap(next);
    }
}

void Encode(const Ids &ascending, std::string &bytes)
{
    bytes.clear();
    if (ascending.empty())
        return;
    // Written through a pointer into room for the longest varints, then cut: a byte at
    // a time through the string would check its room and end it for every byte.
    bytes.resize(ascending.size() * MaxVarintBytes);
    char *out = bytes.data();
    const long long first = ascending.front();
    out = putVarint(out,
                    (static_cast<unsigned long long>(first) << 1)
                            ^ static_cast<unsigned long long>(first >> 63));
    for (std::size_t i = 1; i < ascending.size(); ++i)
        out = putVarint(out,
                        static_cast<unsigned long long>(ascending[i])
                                - static_cast<unsigned long long>(ascending[i - 1]));
    bytes.resize(std::size_t(out - bytes.data()));
}

bool AppendList(std::string &list, long long &last, std::string_view ids)
{
    std::size_t rest = 0;
    long long first = 0;
    long long end = 0;
    bool any = false;
    if (!forEachId(ids, rest, [&](long long id) {
            first = any ? first : id;
            end = id;
            any = true;
        }))
        return false;
    if (!any)
        return true;
    if (!list.empty() && first <= last)
        return false;
    if (list.empty()) {
        list.append(ids);
    } else {
        char gap[MaxVarintBytes];
        const char *gapEnd = putVarint(gap,
                                       static_cast<unsigned long long>(first)
                                               - static_cast<unsigned long long>(last));
        list.append(gap, std::size_t(gapEnd - gap));
        list.append(ids.substr(rest));
    }
    last = end;
    return true;
}

bool Decode(std::string_view bytes, Ids &out)
{
    out.clear();
    // Each id takes a byte at least: one allocation, never copied as it grows (the pages
    // beyond the ids are never touched).
    out.reserve(bytes.size());
    std::size_t firstEnd = 0;
    if (!forEachId(bytes, firstEnd, [&](long long id) { out.push_back(id); })) {
        out.clear();
        return false;
    }
    return true;
}

Ids Intersect(const Ids &a, const Ids &b)
{
    Ids out;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

Ids Subtract(const Ids &a, const Ids &b)
{
    Ids out;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

Ids Union(const Ids &a, const Ids &b)
{
    Ids out;
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

void AppendEntry(std::string &block, std::string_view term, std::string_view ids)
{
    putVarint(block, term.size());
    block.append(term);
    putVarint(block, ids.size());
    block.append(ids);
}

bool NextEntry(std::string_view block, std::size_t &at, std::string_view &term,
               std::string_view &ids, bool &broken)
{
    broken = false;
    if (at >= block.size())
        return false;
    unsigned long long n = 0;
    if (!getVarint(block, at, n) || n > block.size() - at) {
        broken = true;
        return false;
    }
    term = block.substr(at, n);
    at += n;
    if (!getVarint(block, at, n) || n > block.size() - at) {
        broken = true;
        return false;
    }
    ids = block.substr(at, n);
    at += n;
    return true;
}

std::vector<std::string> Terms(std::string_view text)
{
    std::vector<std::string> terms;
    ForEachTerm(text, [&](std::string_view t) { terms.emplace_back(t); });
    std::sort(terms.begin(), terms.end());
    terms.erase(std::unique(terms.begin(), terms.end()), terms.end());
    return terms;
}

std::vector<TermSpan> DistinctTermSpans(std::string_view text)
{
    // Gathered in buffers of the thread's, kept from post to post; what is returned takes
    // only its own room, as prepared posts wait in queues by the thousand.
    thread_local std::vector<TermSpan> spans;
    thread_local std::vector<std::uint64_t> seen;
    spans.clear();
    ForEachTerm(text, [&](std::string_view t) {
        spans.push_back({std::uint32_t(t.data() - text.data()), std::uint32_t(t.size())});
    });
    // Short terms, nearly all of them, are told apart by their bytes as one key; a long
    // one may stay twice (the segment takes a term once per post anyway).
    std::size_t size = 64;
    while (size < spans.size() * 2)
        size <<= 1;
    seen.assign(size, 0);
    const std::size_t mask = size - 1;
    std::size_t kept = 0;
    for (const TermSpan &span : spans) {
        if (span.size <= 7) {
            const std::uint64_t key = shortTermKey(text.substr(span.at, span.size));
            std::size_t at = slotOf(key, mask);
            while (seen[at] != 0 && seen[at] != key)
                at = (at + 1) & mask;
            if (seen[at] == key)
                continue;
            seen[at] = key;
        }
        spans[kept++] = span;
    }
    std::vector<TermSpan> distinct(spans.begin(), spans.begin() + std::ptrdiff_t(kept));
    // A huge post's buffers are not kept.
    constexpr std::size_t KeptSpans = 1u << 16;
    if (spans.capacity() > KeptSpans) {
        std::vector<TermSpan>().swap(spans);
        std::vector<std::uint64_t>().swap(seen);
    }
    return distinct;
}

bool ContainsPattern(std::string_view text, std::string_view pattern)
{
    if (pattern.empty())
        return true;
    std::size_t boundary = 0; // a character starts here
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(pattern, from);
        if (at == std::string_view::npos)
            return false;
        while (boundary < at)
            boundary += static_cast<unsigned char>(text[boundary]) >= 0x81 ? 2 : 1;
        if (boundary == at)
            return true;
        from = at + 1;
    }
}

void PendingSegment::grow()
{
    std::vector<Slot> old(std::max<std::size_t>(slots_.size() * 2, 1 << 16));
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot &slot : old) {
        if (slot.key == 0)
            continue;
        std::size_t at = slotOf(slot.key, mask);
        while (slots_[at].key != 0)
            at = (at + 1) & mask;
        slots_[at] = slot;
    }
}

void PendingSegment::addTerm(std::string_view term)
{
    const auto doc = std::uint32_t(docs_.size() + 1);
    if (term.size() > 7) {
        const auto [it, added] =
                longTerms_.try_emplace(std::string(term), std::uint32_t(terms_.size()));
        if (added) {
            terms_.emplace_back(term);
            longDoc_.resize(terms_.size(), 0);
        }
        if (longDoc_[it->second] != doc) {
            longDoc_[it->second] = doc;
            postings_.emplace_back(it->second, doc - 1);
        }
        return;
    }
    const std::uint64_t key = shortTermKey(term);
    if ((used_ + 1) * 2 > slots_.size())
        grow();
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = slotOf(key, mask);
    while (slots_[at].key != 0 && slots_[at].key != key)
        at = (at + 1) & mask;
    Slot &slot = slots_[at];
    if (slot.key == 0) {
        slot.key = key;
        slot.term = std::uint32_t(terms_.size());
        terms_.emplace_back(term);
        longDoc_.resize(terms_.size(), 0);
        ++used_;
    }
    // A post gives a term many times; it is one posting.
    if (slot.doc != doc) {
        slot.doc = doc;
        postings_.emplace_back(slot.term, doc - 1);
    }
}

void PendingSegment::add(long long topicid, std::string_view text, long long size,
                         long long modified)
{
    ForEachTerm(text, [&](std::string_view term) { addTerm(term); });
    addKept(topicid, size, modified, std::string(text));
}

void PendingSegment::addPrepared(long long topicid, std::string text,
                                 const std::vector<TermSpan> &terms, long long size,
                                 long long modified)
{
    // The slot of a term a few ahead is fetched while this one is looked up: the table
    // runs to megabytes, and each look-up would otherwise wait on memory.
    constexpr std::size_t Ahead = 8;
    const std::string_view all(text);
    const auto fetch = [&](std::size_t i) {
        const TermSpan &term = terms[i];
        if (term.size <= 7 && !slots_.empty())
            __builtin_prefetch(&slots_[slotOf(shortTermKey(all.substr(term.at, term.size)),
                                              slots_.size() - 1)],
                               1);
    };
    for (std::size_t i = 0; i < std::min(Ahead, terms.size()); ++i)
        fetch(i);
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (i + Ahead < terms.size())
            fetch(i + Ahead);
        addTerm(all.substr(terms[i].at, terms[i].size));
    }
    addKept(topicid, size, modified, std::move(text));
}

void PendingSegment::addKept(long long topicid, long long size, long long modified,
                             std::string text)
{
    keptBytes_ += text.size();
    docs_.push_back({topicid, size, modified, std::move(text)});
    ids_.insert(topicid);
}

template<class F>
void PendingSegment::forEachRow(F &&f) const
{
    // The postings grouped by term (a counting sort keeps the posts' order in each).
    std::vector<std::size_t> start(terms_.size() + 1, 0);
    for (const auto &p : postings_)
        ++start[p.first + 1];
    for (std::size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    Ids all(postings_.size());
    {
        // Filled post by post in topicid order, so that every list comes out ascending:
        // an import gives posts in the order of its folders, not of their topicids. A
        // post's postings lie together, in the order the posts came (addTerm).
        std::vector<std::size_t> next(start.begin(), start.end() - 1);
        std::vector<std::size_t> docStart(docs_.size() + 1, 0);
        for (const auto &p : postings_)
            ++docStart[p.second + 1];
        for (std::size_t d = 1; d < docStart.size(); ++d)
            docStart[d] += docStart[d - 1];
        std::vector<std::uint32_t> docOrder(docs_.size());
        std::iota(docOrder.begin(), docOrder.end(), 0u);
        std::sort(docOrder.begin(), docOrder.end(), [this](std::uint32_t a, std::uint32_t b) {
            return docs_[a].topicid < docs_[b].topicid;
        });
        for (const std::uint32_t d : docOrder) {
            const long long topicid = docs_[d].topicid;
            for (std::size_t k = docStart[d]; k < docStart[d + 1]; ++k)
                all[next[postings_[k].first]++] = topicid;
        }
    }
    // Terms in byte order, compared by their first eight bytes as one number first (a
    // term holds no NUL byte, so a shorter one padded with zeros comes first, as it does
    // among strings); the strings themselves only where those are equal.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(terms_.size());
    for (std::uint32_t i = 0; i < keyed.size(); ++i) {
        std::uint64_t prefix = 0;
        const std::string &term = terms_[i];
        for (std::size_t k = 0; k < 8; ++k)
            prefix = (prefix << 8) | (k < term.size() ? std::uint8_t(term[k]) : 0);
        keyed[i] = {prefix, i};
    }
    sortByPrefix(keyed);
    // Terms of more than eight bytes may share theirs.
    for (std::size_t from = 0; from < keyed.size();) {
        std::size_t to = from + 1;
        while (to < keyed.size() && keyed[to].first == keyed[from].first)
            ++to;
        if (to - from > 1)
            std::sort(keyed.begin() + std::ptrdiff_t(from), keyed.begin() + std::ptrdiff_t(to),
                      [this](const auto &a, const auto &b) {
                          return terms_[a.second] < terms_[b.second];
                      });
        from = to;
    }
    std::vector<std::uint32_t> order(terms_.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = keyed[i].second;
    Ids list;
    std::string ids;
    for (std::uint32_t i : order) {
        list.assign(all.begin() + std::ptrdiff_t(start[i]),
                    all.begin() + std::ptrdiff_t(start[i + 1]));
        if (!std::is_sorted(list.begin(), list.end()))
            std::sort(list.begin(), list.end());
        Encode(list, ids);
        f(terms_[i], ids);
    }
}

std::vector<PendingSegment::Row> PendingSegment::rows() const
{
    std::vector<Row> out;
    out.reserve(terms_.size());
    forEachRow([&](const std::string &term, const std::string &ids) {
        out.push_back({term, ids});
    });
    return out;
}

SealedSegment PendingSegment::seal(Room room)
{
    if (room == Room::Free) {
        // The look-up of terms is done with: its memory goes before the rows take theirs.
        std::vector<Slot>().swap(slots_);
        used_ = 0;
        std::unordered_map<std::string, std::uint32_t>().swap(longTerms_);
        std::vector<std::uint32_t>().swap(longDoc_);
    }
    SealedSegment sealed;
    forEachRow([&](const std::string &term, const std::string &ids) {
        AppendEntry(sealed.entries, term, ids);
    });
    sealed.docs = std::move(docs_);
    clear(room);
    return sealed;
}

void PendingSegment::clear(Room room)
{
    if (room == Room::Keep) {
        std::fill(slots_.begin(), slots_.end(), Slot {});
    } else {
        slots_.clear();
        slots_.shrink_to_fit();
    }
    used_ = 0;
    longTerms_.clear();
    longDoc_.clear();
    terms_.clear();
    postings_.clear();
    docs_.clear();
    ids_.clear();
    keptBytes_ = 0;
    transaction = 0;
}

} // namespace BodyPostings
