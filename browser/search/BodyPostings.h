#pragma once

// The pieces of the body index that need no database: posting lists and their bytes,
// the terms of a post as the index keys them, the segment a run of Puts builds in
// memory, the kept text and the exact check on it.
//
// A posting list is the ascending topicids of the posts holding a term. Stored, it is
// varints: the first topicid zigzag-encoded, then each gap to the next (at least 1).

#include "BodyTokens.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace BodyPostings {

using Ids = std::vector<long long>;

void Encode(const Ids &ascending, std::string &bytes);
// False (out cleared) when the bytes are not a list Encode made.
bool Decode(std::string_view bytes, Ids &out);
// Appends a list's bytes to the bytes of a list whose last id is `last` (anything when
// it is empty), as the bytes of the joined list, when every id of ids is above last;
// last becomes the last of ids. False, list unchanged, when some id is not above it or
// ids are broken. Cheaper than Decode and Encode: the ids are only read.
bool AppendList(std::string &list, long long &last, std::string_view ids);

// Ascending runs lying end to end in values, run i from bounds[i] to bounds[i + 1] (the
// last bound is values.size()), made one ascending list: merged two by two, so a merge of
// k lists of n ids costs n log k, where sorting them would cost n log n. Both vectors are
// used up; scratch is room to reuse.
void MergeRuns(Ids &values, std::vector<std::size_t> &bounds, Ids &scratch);

// Set operations on ascending lists.
Ids Intersect(const Ids &a, const Ids &b);
Ids Subtract(const Ids &a, const Ids &b);
Ids Union(const Ids &a, const Ids &b);

// Calls f(term) with every distinct term of a normalised text (BodyTokens.h: words,
// CJK pairs, every CJK character), as GBK bytes; a term may come more than once.
template<class F>
void ForEachTerm(std::string_view text, F &&f);

// The distinct terms of a normalised text, sorted by bytes.
std::vector<std::string> Terms(std::string_view text);

// A term as a place in the text it comes from.
struct TermSpan
{
    std::uint32_t at = 0;
    std::uint32_t size = 0;
};
// The terms of a normalised text as spans into it, each short one (up to 7 bytes) once,
// in the order met: what a segment needs of a post, worked out without the segment.
std::vector<TermSpan> DistinctTermSpans(std::string_view text);

// A block of posting lists: entries (term, list) in term order, each a varint length
// and the term's bytes, a varint length and the list's bytes.
void AppendEntry(std::string &block, std::string_view term, std::string_view ids);
// The entry at `at`, which moves past it; false at the end, and for broken bytes (then
// with broken set).
bool NextEntry(std::string_view block, std::size_t &at, std::string_view &term,
               std::string_view &ids, bool &broken);

// Whether pattern stands in text starting at a character boundary (a GBK byte pair is
// never matched from its second byte). Linear in the text.
bool ContainsPattern(std::string_view text, std::string_view pattern);

struct SealedSegment;

// The posts of one segment being built: each term's topicids, the posts' kept texts
// and stamps. Topicids may come in any order; a topicid comes once.
class PendingSegment
{
public:
    struct Doc
    {
        long long topicid = 0;
        long long size = 0;
        long long modified = 0;
        std::string text; // normalised, kept as it is: a check reads it without unpacking
    };
    struct Row
    {
        std::string term;
        std::string ids; // Encode
    };

    void add(long long topicid, std::string_view text, long long size, long long modified);
    // The same from the post's distinct terms (DistinctTermSpans of text), the text kept.
    void addPrepared(long long topicid, std::string text, const std::vector<TermSpan> &terms,
                     long long size, long long modified);
    // A post's kept text alone, without its terms (texts moved elsewhere).
    void addKept(long long topicid, long long size, long long modified, std::string text);
    bool holds(long long topicid) const { return ids_.count(topicid) != 0; }
    bool empty() const { return docs_.empty(); }
    // Postings and kept bytes held: the caller writes the segment out past a bound.
    std::size_t weight() const { return postings_.size() * 8 + terms_.size() * 48 + keptBytes_; }
    const std::vector<Doc> &docs() const { return docs_; }
    // The rows of the segment in term order (the terms' lists sorted as needed).
    std::vector<Row> rows() const;
    // Whether an emptied segment gives back the memory of its tables, or keeps it for
    // the next posts (their pages are had again at a cost).
    enum class Room { Free, Keep };
    // The posts, and the rows as entries of a block (AppendEntry), the segment left
    // empty: a few bytes a term, where rows take dozens. Freeing, the look-up table goes
    // before the rows are made.
    SealedSegment seal(Room room = Room::Free);
    void clear(Room room = Room::Free);

    // The transaction the segment belongs to (CAdoManager::TransactionNumber).
    unsigned long long transaction = 0;

private:
    // A term's index in terms_; its first posting of the current post is recorded.
    void addTerm(std::string_view term);
    void grow();
    // f(term, ids) for each row in term order.
    template<class F>
    void forEachRow(F &&f) const;

    struct Slot
    {
        std::uint64_t key = 0; // the bytes of a term of up to 7, and its length; 0 empty
        std::uint32_t term = 0;
        std::uint32_t doc = 0; // the post that gave it last, plus one
    };
    std::vector<Slot> slots_; // open addressing, a power of two
    std::size_t used_ = 0;
    std::unordered_map<std::string, std::uint32_t> longTerms_; // over 7 bytes
    std::vector<std::uint32_t> longDoc_; // by term: the post that gave it last, plus one
    std::vector<std::string> terms_;
    // (term, post) in the order given; sorted by term only when written.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> postings_;
    std::vector<Doc> docs_;
    std::unordered_set<long long> ids_;
    std::size_t keptBytes_ = 0;
};

// A segment made ready to be written: its posts, and its rows in term order as the
// entries of one block (AppendEntry).
struct SealedSegment
{
    std::vector<PendingSegment::Doc> docs;
    std::string entries;
};

template<class F>
void ForEachTerm(std::string_view text, F &&f)
{
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view element = text.substr(at, end - at);
        at = end + 1;
        if (element.empty())
            continue;
        if (!BodyTokens::IsCjkElement(element)) {
            f(element);
            continue;
        }
        for (std::size_t i = 0; i + 2 <= element.size(); i += 2) {
            f(element.substr(i, 2));
            if (i + 4 <= element.size())
                f(element.substr(i, 4));
        }
    }
}

} // namespace BodyPostings
