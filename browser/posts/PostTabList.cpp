#include "PostTabList.h"

#include "common/Codec.h"

PostTabList::OpenResult PostTabList::Open(const std::string &title, const std::string &displayPath,
                                          const std::string &archiveFolder,
                                          const std::string &postId, const std::string &postPath)
{
    const Entry opened {title, displayPath, archiveFolder, postId, postPath};
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].displayPath == displayPath) {
            entries_[i] = opened;
            return {int(i), OpenAction::Retitled};
        }
    }
    if (count() < MaxTabs) {
        entries_.push_back(opened);
        return {count() - 1, OpenAction::Appended};
    }
    entries_.erase(entries_.begin());
    entries_.push_back(opened);
    return {MaxTabs - 1, OpenAction::DroppedOldest};
}

void PostTabList::Close(int index)
{
    if (index >= 0 && index < count())
        entries_.erase(entries_.begin() + index);
}

std::vector<std::string> FitTabLabels(const std::vector<std::string> &titles, int selected,
                                      int areaWidth,
                                      const std::function<int(int, const std::string &)> &measure)
{
    const int n = int(titles.size());
    std::vector<std::string> labels(titles);
    if (n == 0)
        return labels;
    const auto fit = [&](int index, int allowance) {
        std::string &label = labels[std::size_t(index)];
        int width = measure(index, label);
        // Whole characters only: half of a double-byte character would show as garbage.
        while (width >= allowance && !label.empty()) {
            Gbk::dropLastChar(label);
            width = measure(index, label);
        }
        return width;
    };
    const int unselectedAllowance = n == 1 ? areaWidth : areaWidth / (2 * n - 2);
    int sum = 0;
    for (int i = 0; i < n; ++i) {
        if (i != selected)
            sum += fit(i, unselectedAllowance);
    }
    if (selected >= 0 && selected < n)
        fit(selected, areaWidth - sum - 5);
    return labels;
}
