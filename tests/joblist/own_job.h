// The job lists on a row store of their own, with the placement rows as the PCB
// records see them.
#pragma once

#include "joblist/job_lists.h"

namespace smt::test {

struct OwnStore {
    PartListStore store;
};

struct OwnJob : OwnStore, JobLists {
    OwnJob() : JobLists(store) {}
    std::vector<PlacementItem> PlacementRows() { return Pcb().m_PlacementList.rows(); }
    void SetPlacementRows(std::vector<PlacementItem> rows) { Pcb().m_PlacementList.setRows(std::move(rows)); }
};

} // namespace smt::test
