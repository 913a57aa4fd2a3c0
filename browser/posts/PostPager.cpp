#include "PostPager.h"

#include "browser/db/CAdoRecordset.h"
#include "browser/rooms/PostListTexts.h"
#include "common/Codec.h"
#include "common/TextFormat.h"

#include <algorithm>

PostPager::PostPager(RoomNameLookup roomName)
    : roomName_(std::move(roomName))
{
}

PostPager::~PostPager() = default;

void PostPager::ReleaseResult()
{
    if (result_ && result_->IsOpen())
        result_->Close();
    result_.reset();
    rowsShown_ = 0;
    pagePositions_ = 0;
    removed_.clear();
}

void PostPager::TakeResult(std::unique_ptr<CAdoRecordset> result)
{
    ReleaseResult();
    result_ = std::move(result);
}

bool PostPager::HasOpenResult() const
{
    return result_ && result_->IsOpen();
}

std::vector<std::string> PostPager::FieldNames() const
{
    std::vector<std::string> names;
    if (HasOpenResult()) {
        for (int i = 0; i < result_->FieldCount(); ++i)
            names.push_back(result_->FieldName(i));
    }
    return names;
}

long PostPager::listedCount() const
{
    return std::max(0L, result_->RecordCount() - long(removed_.size()));
}

// The page's first position and the rows it lists: fewer than its positions when rows
// were deleted since the query ran.
std::string PostPager::pageStatus(int first, int rows) const
{
    if (rows <= 0)
        return FormatText(Gbk::literal(PostListText::PageEmpty).c_str(), listedCount());
    return FormatText(Gbk::literal(PostListText::PageShown).c_str(), listedCount(), first,
                      first + rows - 1);
}

bool PostPager::currentRemoved() const
{
    return !removed_.empty() && removed_.count(result_->Value("topicid").Text()) > 0;
}

PostPage PostPager::readFailure(long code) const
{
    PostPage page;
    page.status = FormatText(Gbk::literal(PostListText::ReadFailed).c_str(),
                             result_->LastError().empty() ? std::to_string(code).c_str()
                                                          : result_->LastError().c_str());
    // One line is enough for a status pane.
    for (char &c : page.status) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return page;
}

void PostPager::readRow(const PostColumnTable &columns, const std::vector<int> &shown,
                        PostListRow &row) const
{
    row.values.clear();
    row.itemData = 0;
    for (int slot : shown) {
        const CAdoValue value = result_->Value(columns.slot(slot).fieldName);
        if (slot != PostColumnTable::RoomIdSlot) {
            row.values.push_back(value.IsNull() ? std::nullopt
                                                : std::optional<std::string>(value.Text()));
            continue;
        }
        // The room column shows the room's name; the row keeps the number. A room id
        // that is NULL or no number shows nothing.
        long long number = 0;
        if (value.IsNull() || !value.ToInt64(number)) {
            row.values.push_back(std::string());
            continue;
        }
        row.itemData = static_cast<std::uint32_t>(number);
        row.values.push_back(roomName_ ? roomName_(value.Text()) : std::string());
    }
}

std::optional<PostPage> PostPager::FirstPage(const PostColumnTable &columns)
{
    if (!HasOpenResult())
        return std::nullopt;
    const int before = rowsShown_;
    rowsShown_ = 0;
    pagePositions_ = 0;
    if (result_->RecordCount() < 1) {
        std::optional<PostPage> page = NextPage(columns);
        page->replaceRows = true; // an empty result empties the list
        return page;
    }
    if (const long code = result_->MoveFirst()) {
        rowsShown_ = before;
        return readFailure(code);
    }
    return NextPage(columns);
}

std::optional<PostPage> PostPager::NextPage(const PostColumnTable &columns)
{
    if (!HasOpenResult())
        return std::nullopt;
    PostPage page;
    const long count = listedCount();
    if (result_->IsEOF()) {
        page.status = FormatText(Gbk::literal(PostListText::LastPageReached).c_str(), count);
        return page;
    }
    const std::vector<int> shown = columns.ShownSlots();
    const int first = rowsShown_ + 1;
    int moved = 0;
    // A page is 100 positions of the result; a row deleted since the query ran leaves
    // its position empty and is not listed.
    while (!result_->IsEOF() && moved < PageSize) {
        PostListRow row;
        // A small result holds its rows: one deleted or moved from this list stays out.
        const bool deleted = result_->IsDeleted() || currentRemoved();
        if (!deleted)
            readRow(columns, shown, row);
        if (const long code = result_->MoveNext()) {
            // Back to where the page began; those rows are still in the record set's window.
            for (int i = 0; i < moved; ++i)
                result_->MovePrevious();
            return readFailure(code);
        }
        if (!deleted)
            page.rows.push_back(std::move(row));
        ++moved;
    }
    rowsShown_ += moved;
    pagePositions_ = moved;
    page.replaceRows = true;
    page.status = pageStatus(first, int(page.rows.size()));
    return page;
}

std::optional<PostPage> PostPager::PreviousPage(const PostColumnTable &columns, int rowsInList)
{
    if (!HasOpenResult())
        return std::nullopt;
    const long count = listedCount();
    if (rowsShown_ <= PageSize) {
        PostPage page;
        page.status = FormatText(Gbk::literal(PostListText::FirstPageReached).c_str(), count);
        return page;
    }
    // Back over the page on show (100 positions, or fewer on the last page) and one more.
    const int onPage = pagePositions_ > 0
            ? pagePositions_
            : (rowsShown_ < result_->RecordCount() ? PageSize : rowsInList);
    const int steps = PageSize + onPage;
    for (int i = 0; i < steps; ++i) {
        if (const long code = result_->MovePrevious()) {
            for (int k = 0; k < i; ++k)
                result_->MoveNext();
            return readFailure(code);
        }
    }
    rowsShown_ -= steps;
    std::optional<PostPage> page = NextPage(columns);
    if (page && !page->replaceRows && !result_->IsEOF()) {
        // The page could not be read: stand where the previous page ended again.
        for (int i = 0; i < steps; ++i)
            result_->MoveNext();
        rowsShown_ += steps;
        pagePositions_ = onPage;
    }
    return page;
}

std::optional<PostPage> PostPager::RowsRemoved(const std::vector<std::string> &topicids,
                                               int rowsInList)
{
    if (!HasOpenResult())
        return std::nullopt;
    for (const std::string &topicid : topicids) {
        if (!topicid.empty())
            removed_.insert(topicid);
    }
    PostPage page;
    page.status = pageStatus(rowsShown_ - pagePositions_ + 1, rowsInList);
    return page;
}
