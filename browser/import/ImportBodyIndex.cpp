#include "ImportBodyIndex.h"

#include "PostExtraction.h"
#include "browser/db/DbEndpoint.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

namespace {
constexpr const char IndexFailed[] = "文件<%s>没有导入:无法编入正文索引:%s";
} // namespace

ImportBodyIndex::ImportBodyIndex(CAdoManager &ado, const std::string &connection,
                                 const std::string &table)
    : ado_(ado)
    , engine_(BodyIndex::EngineOf(connection))
    , table_(TableNameAsLookedUp(connection, table))
    , index_(std::make_unique<BodyIndex>(ado_, engine_, table_))
{
    BodyIndex::State state {};
    int version = 0;
    active_ = index_->GetState(state, version) == 0 && state == BodyIndex::State::Current;
}

ImportBodyIndex::~ImportBodyIndex() = default;

long ImportBodyIndex::Put(long long topicid, const PreparedBodyPost &post,
                          const PostFileStamp &stamp, bool flush)
{
    if (const long code = index_->Put(topicid, post, stamp))
        return code;
    return flush ? index_->Flush() : 0;
}

long ImportBodyIndex::Flush()
{
    return index_->Flush();
}

void ImportBodyIndex::Discard()
{
    index_ = std::make_unique<BodyIndex>(ado_, engine_, table_);
}

std::string ImportBodyIndex::FailedLine(const std::string &path) const
{
    std::string problem = index_->Problem();
    for (char &c : problem) {
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    }
    return CutMessageLine(
            FormatText(Gbk::literal(IndexFailed).c_str(), path.c_str(), problem.c_str()));
}
