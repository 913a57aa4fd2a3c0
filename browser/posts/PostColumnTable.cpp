#include "PostColumnTable.h"

#include "browser/rooms/PostListTexts.h"
#include "common/Codec.h"

#include <algorithm>

namespace {
// Sharing columns of a very narrow list still get this much.
constexpr int MinimumSharedWidth = 20;
} // namespace

PostColumnTable::PostColumnTable()
{
    using namespace PostListText;
    const struct
    {
        const char *field;
        const char *header;
        float width;
        bool shown;
    } initial[] = {
            {"title", TitleHeader, 0.5f, true},  {"topicid", TopicIdHeader, 55, true},
            {"roomid", RoomHeader, -1, true},    {"reply", ReplyHeader, 36, false},
            {"username", UserHeader, -1, false}, {"createtime", CreatedHeader, -1, false},
    };
    for (std::size_t i = 0; i < std::size(initial); ++i)
        slots_[i] = {initial[i].shown, initial[i].width, initial[i].field,
                     Gbk::literal(initial[i].header)};
}

void PostColumnTable::RecomputeShown(const std::vector<std::string> &fieldNames)
{
    for (PostColumn &column : slots_) {
        column.shown = !column.fieldName.empty()
                && std::find(fieldNames.begin(), fieldNames.end(), column.fieldName)
                        != fieldNames.end();
    }
}

std::vector<int> PostColumnTable::ShownSlots() const
{
    std::vector<int> shown;
    for (int i = 0; i < SlotCount; ++i) {
        if (slots_[std::size_t(i)].shown)
            shown.push_back(i);
    }
    return shown;
}

int PostColumnTable::ColumnOf(int slot) const
{
    if (slot < 0 || slot >= SlotCount || !slots_[std::size_t(slot)].shown)
        return -1;
    int column = 0;
    for (int i = 0; i < slot; ++i)
        column += slots_[std::size_t(i)].shown ? 1 : 0;
    return column;
}

std::vector<int> PostColumnTable::ColumnWidths(int clientWidth, int wantedShare) const
{
    int pixels = 0;
    int fractions = 0;
    int fractionColumns = 0;
    int sharing = 0;
    for (int index : ShownSlots()) {
        const float width = slots_[std::size_t(index)].width;
        if (width >= 1) {
            pixels += int(width);
        } else if (width > 0) {
            fractions += int(width * float(clientWidth));
            ++fractionColumns;
        } else {
            ++sharing;
        }
    }
    int share = sharing > 0 ? (clientWidth - pixels - fractions) / sharing : 0;
    // In a narrow list the title gives up what the dates and names need to be read.
    int given = 0;
    if (sharing > 0 && wantedShare > 0 && share < wantedShare && fractions > 0)
        given = std::clamp((wantedShare - share) * sharing, 0,
                           std::max(0, fractions - fractionColumns * wantedShare));
    share = sharing > 0 ? (clientWidth - pixels - (fractions - given)) / sharing : 0;
    // Never narrower than the minimum, so a sharing column does not jump between the
    // minimum and nothing as the window narrows.
    share = std::max(share, MinimumSharedWidth);
    std::vector<int> widths;
    for (int index : ShownSlots()) {
        const float width = slots_[std::size_t(index)].width;
        if (width >= 1) {
            widths.push_back(int(width));
        } else if (width > 0) {
            const int own = int(width * float(clientWidth));
            widths.push_back(
                    own
                    - (fractions > 0 ? int(static_cast<long long>(given) * own / fractions) : 0));
        } else {
            widths.push_back(share);
        }
    }
    return widths;
}
