// The feeder-group table in the lines of "config_feed.fig" (g_FeedLines): a head
// line (group count, open group name), then per used slot a group line, one line
// per feeder and one tray block per feeder. Cells end in a TAB.
#pragma once

#include <string>
#include <vector>

#include "feeders/feed_group_table.h"

namespace smt {

// FeedGroup.c_Message_09 until the manager's captions are loaded.
inline constexpr const char* kNoFeedGroupArrayText = "没有料架数组 !";

// The largest columns value of a tray (the tray dialog takes up to 10000 pocket
// columns); a larger value read from a damaged file is cut to it.
inline constexpr int kMaxTrayColumns = 10001;

// Reads the table once: consumes the lines it parsed, creates the slots (groups
// read + 10) and translates feeder-kind words and speed-class names into the
// current language. An empty line array shows `emptyMessage` and leaves ten free
// slots and no open group. A damaged file keeps every complete group read before
// the damage. false when nothing was read (empty lines, or read before).
bool ReadFeedGroupTable(FeedGroupTable& table, std::vector<std::string>& lines,
                        const std::string& emptyMessage = kNoFeedGroupArrayText);

// Replaces the lines by the table; a used-up tray is written (and kept) as row 0.
// Each pocket line holds the pockets its row has (never more than the columns value).
// A table that was never read is not written: the lines stay as loaded.
void WriteFeedGroupTable(FeedGroupTable& table, std::vector<std::string>& lines);

} // namespace smt
