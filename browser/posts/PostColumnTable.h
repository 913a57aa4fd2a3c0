#pragma once

// The columns the post list can show: eight slots in a fixed order, each shown when
// the query result has a field of that name.

#include <array>
#include <string>
#include <vector>

struct PostColumn
{
    bool shown = false;
    float width = 0; // >= 1 pixels; in (0, 1) a fraction of the client width; <= 0 shares the rest
    std::string fieldName;
    std::string header; // GBK
};

class PostColumnTable
{
public:
    static constexpr int SlotCount = 8;
    static constexpr int TitleSlot = 0;
    static constexpr int TopicIdSlot = 1;
    static constexpr int RoomIdSlot = 2;

    PostColumnTable();

    const PostColumn &slot(int index) const { return slots_[std::size_t(index)]; }

    // A slot is shown when the result has a field of exactly its name.
    void RecomputeShown(const std::vector<std::string> &fieldNames);
    std::vector<int> ShownSlots() const;
    // The list column that shows a slot, or -1 when the slot is not shown.
    int ColumnOf(int slot) const;
    // The widths of the shown columns, in slot order, for a client width. When the
    // sharing columns would get less than wantedShare each, the columns sized by a
    // fraction (the title) give way, down to wantedShare themselves.
    std::vector<int> ColumnWidths(int clientWidth, int wantedShare = 0) const;

private:
    std::array<PostColumn, SlotCount> slots_;
};
