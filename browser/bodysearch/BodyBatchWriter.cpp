#include "BodyBatchWriter.h"

#include "browser/db/CAdoManager.h"

#include <utility>

BodyBatchWriter::BodyBatchWriter(CAdoManager &ado, BodyIndex &index, bool aside)
    : ado_(ado)
    , index_(index)
    , aside_(aside)
{
}

BodyBatchWriter::~BodyBatchWriter()
{
    Drop();
}

void BodyBatchWriter::Add(long long topicid, PreparedBodyPost &&post, const PostFileStamp &stamp)
{
    pendingBytes_ += post.text.size();
    pending_.push_back({topicid, std::move(post), stamp});
}

bool BodyBatchWriter::Seal()
{
    // One batch is built at a time: the one before is taken first, so a single
    // building thread (and its memory) is about at any moment.
    BodyPostings::SealedSegment before;
    const bool hadBefore = building_.valid();
    if (hadBefore)
        before = building_.get();
    if (!pending_.empty()) {
        // Aside, either policy: where no thread can be had, the batch is built when it
        // is taken.
        const std::launch policy =
                aside_ ? std::launch::async | std::launch::deferred : std::launch::deferred;
        building_ =
                std::async(policy, [posts = std::move(pending_), scratch = &scratch_]() mutable {
                    return BodyIndex::BuildSegment(std::move(posts), *scratch);
                });
        pending_.clear();
        pendingBytes_ = 0;
    }
    return !hadBefore || write(std::move(before));
}

bool BodyBatchWriter::Finish()
{
    return Seal() && Seal();
}

void BodyBatchWriter::Drop()
{
    pending_.clear();
    pendingBytes_ = 0;
    building_ = {}; // waits for a batch being built, and drops it
}

bool BodyBatchWriter::write(BodyPostings::SealedSegment &&segment)
{
    const auto posts = static_cast<long long>(segment.docs.size());
    if (ado_.BeginTransaction() != 0) {
        problem_ = ado_.LastError();
        return false;
    }
    if (index_.PutSegment(std::move(segment)) != 0) {
        problem_ = index_.Problem();
        ado_.RollbackTransaction();
        return false;
    }
    if (ado_.CommitTransaction() != 0) {
        problem_ = ado_.LastError();
        ado_.RollbackTransaction();
        return false;
    }
    written_ += posts;
    return true;
}
