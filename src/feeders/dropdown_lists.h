// The four common pick lists (part names, types, packages, angles) as the
// dialog edits them: "config_dropdown.fig" holds one line per list.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "settings/dialog_captions.h"

namespace smt {

inline constexpr int kDropDownLists = 4;
inline constexpr int kAnglePage = 3;

DialogCaptions DropDownCaptions();

class DropDownLists {
public:
    // Each of the first four lines cut at its TABs, every list sorted.
    void Load(const std::vector<std::string>& lines);
    // Four lines in list order, each item followed by a TAB.
    std::vector<std::string> BuildLines() const;

    void SetPage(int page);
    void Select(int item);
    // Each returns the caption key of its refusal, empty when done (or silently
    // ignored, as an angle of 360 or more is).
    std::string Add(const std::string& text);
    std::string Modify(const std::string& text);
    std::string Delete();
    // The names page only: every non-empty name not yet listed, sorted in.
    void Import(const std::vector<std::string>& names);

    int Page() const { return m_page; }
    int Selected() const { return m_selected; }
    const std::vector<std::string>& List(int page) const { return m_lists[page]; }

    // The part list's in-place combo of a list: remove `removed` when present,
    // add `added` when absent (either may be empty).
    std::function<void(int list, const std::string& removed, const std::string& added)> mirror;

private:
    void Mirror(const std::string& removed, const std::string& added) const {
        if (mirror) mirror(m_page, removed, added);
    }
    bool IgnoredAngle(const std::string& text) const;
    std::array<std::vector<std::string>, kDropDownLists> m_lists;
    int m_page = 0;
    int m_selected = -1;
};

} // namespace smt
