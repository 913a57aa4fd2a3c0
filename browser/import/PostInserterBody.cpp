// The body index's part of PostInserter (ImportBodyIndex.h).
#include "ImportBodyIndex.h"
#include "ImportTexts.h"
#include "InsertStatements.h"
#include "PostInserter.h"
#include "browser/db/CAdoManager.h"
#include "common/Codec.h"
#include "common/ResultCodes.h"
#include "common/TextFormat.h"

long PostInserter::indexBody(const BatchEntry &entry, bool flush, std::vector<std::string> &lines)
{
    long long topicid = 0;
    ParseIntegerText(entry.fields.topicid, topicid); // inserted: integer text
    const long code = config_.body->Put(topicid, entry.body, entry.stamp, flush);
    if (code != 0) {
        succeeded(code);
        lines.push_back(config_.body->FailedLine(entry.fields.path));
    }
    return code;
}

long PostInserter::insertAlone(const BatchEntry &entry)
{
    if (!config_.body)
        return InsertPost(entry.fields);
    std::vector<std::string> lines;
    long result = lastFailure_;
    if (succeeded(ado_.BeginTransaction())) {
        result = checkAndInsert(entry.fields, lines);
        if (result == ResultCode::Success)
            result = indexBody(entry, true, lines);
        if (result == ResultCode::Success && !succeeded(ado_.CommitTransaction()))
            result = lastFailure_;
    }
    if (result != ResultCode::Success) {
        ado_.RollbackTransaction();
        config_.body->Discard();
        if (lines.empty())
            lines.push_back(CutMessageLine(FormatText(Gbk::literal(ImportText::NotImported).c_str(),
                                                      entry.fields.path.c_str())));
    }
    for (const std::string &line : lines)
        send(line);
    if (result == ResultCode::Success)
        insertedFiles_.fetch_add(1, std::memory_order_relaxed);
    return result;
}
