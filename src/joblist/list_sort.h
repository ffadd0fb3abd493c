// Sorting the job lists by one column, and the two-head pairing of the placement
// list. Every comparison reads the two rows it is given.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "feeders/feed_rows.h"
#include "joblist/part_list.h"

namespace smt {

// Key 20 sorts by the part height of the row's feeder.
inline constexpr int kSortKeyPartHeight = 20;

// Feeder identifier -> part height (cell 8), the first feeder of each identifier.
using FeederHeights = std::unordered_map<std::string, double>;
FeederHeights HeightsOf(const std::vector<FeedRow>& feeders);

// Bank rank of a feeder identifier: W 2, else N 3, else E 0, else S 1, else 0.
int BankRank(const std::string& feederId);

// Below zero puts a before b.
int ComparePartRows(const JobRow& a, const JobRow& b, int sortKey, const FeederHeights& heights);
// Sorts the list in place by m_SortKey, rows keeping their cells and icons.
void SortPartRows(PartListStore& store, JobList list, const std::vector<FeedRow>& feeders);
// The same with the part heights of the open feeder group.
void SortPartRows(PartListStore& store, JobList list);
// Breaks up runs of one feeder by moving up the next row of another feeder.
void PairRowsForTwoHeads(PartListStore& store);

} // namespace smt
