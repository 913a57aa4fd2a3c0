#pragma once

// The bookkeeping of the post tabs: up to five open posts, each with its title and
// the path actually shown for it (for a missing post: the not-found page).

#include <functional>
#include <string>
#include <vector>

class PostTabList
{
public:
    static constexpr int MaxTabs = 5;

    struct Entry
    {
        std::string title; // GBK
        std::string displayPath; // GBK
        std::string archiveFolder; // GBK; the folder the post was found under, may be empty
        std::string postId; // GBK, as listed; may be empty
        std::string postPath; // GBK; where the post's file belongs, found or not
    };

    enum class OpenAction { Retitled, Appended, DroppedOldest };
    struct OpenResult
    {
        int target;
        OpenAction action;
    };

    // A tab already showing displayPath (exact bytes) takes the new title; otherwise a
    // tab is appended, or with five tabs the oldest is dropped and the new one is last.
    // The post's ID and path go with the title.
    OpenResult Open(const std::string &title, const std::string &displayPath,
                    const std::string &archiveFolder = std::string(),
                    const std::string &postId = std::string(),
                    const std::string &postPath = std::string());
    // Removes a tab; the later ones move one place to the left.
    void Close(int index);

    int count() const { return int(entries_.size()); }
    const Entry &entry(int index) const { return entries_[std::size_t(index)]; }
    const std::vector<Entry> &entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

// Fits tab labels into a tab area of `areaWidth` pixels. Unselected tabs get at most
// areaWidth / (2n - 2) each (the whole area for a single tab), the selected one what
// is left minus 5. A label is cut at its end one character at a time while its tab
// is as wide as its allowance or wider. measure gives the tab's width for a label.
std::vector<std::string>
FitTabLabels(const std::vector<std::string> &titles, int selected, int areaWidth,
             const std::function<int(int index, const std::string &label)> &measure);
