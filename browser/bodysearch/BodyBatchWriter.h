#pragma once

// The writing half of a body index build, in batches of a transaction each: a batch's
// posts are made into a segment (BodyIndex::BuildSegment), on SQLite on a thread of its
// own while the batch before is written to the database, so the writer's thread does
// little but write. Batches are written in the order they were sealed; a batch counts as written
// only once its transaction has committed.

#include "browser/search/BodyIndex.h"

#include <cstddef>
#include <future>
#include <string>
#include <vector>

class CAdoManager;

class BodyBatchWriter
{
public:
    // ado: the index's connection, not in a transaction of its own. aside: batches are
    // built on a thread of their own; otherwise each is built when it is written (a
    // server that does the writing has the other core already, and the batch in making
    // would only add to the memory held).
    BodyBatchWriter(CAdoManager &ado, BodyIndex &index, bool aside);
    // A batch still being built is waited for and dropped, not written.
    ~BodyBatchWriter();
    BodyBatchWriter(const BodyBatchWriter &) = delete;
    BodyBatchWriter &operator=(const BodyBatchWriter &) = delete;

    // A post for the next batch; topicids are distinct over the run.
    void Add(long long topicid, PreparedBodyPost &&post, const PostFileStamp &stamp);
    std::size_t PendingPosts() const { return pending_.size(); }
    std::size_t PendingBytes() const { return pendingBytes_; }

    // Ends the pending batch, handed over to be built, and writes the batch sealed
    // before it. False when that write failed (Problem(); nothing of that batch is in).
    bool Seal();
    // Seals what is pending, and writes every batch left.
    bool Finish();
    // Forgets the batches not written (an aborted run: a later one reads them again).
    void Drop();

    // Posts whose batch has committed.
    long long Written() const { return written_; }
    const std::string &Problem() const { return problem_; }

private:
    bool write(BodyPostings::SealedSegment &&segment);

    CAdoManager &ado_;
    BodyIndex &index_;
    const bool aside_;
    std::vector<BodySegmentPost> pending_;
    std::size_t pendingBytes_ = 0;
    // Made into each batch's segment in turn, by one building at a time.
    BodyPostings::PendingSegment scratch_;
    std::future<BodyPostings::SealedSegment> building_;
    long long written_ = 0;
    std::string problem_;
};
