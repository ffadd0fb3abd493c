// The job lists' one wiring: the part list panel, its captions at the first
// update and at a language change, the run toolbar, the row commands and their
// editors, the PCB editor with the CAD import and the two-mark test, the lamp
// table, the feeder side's calls into the rows, and the rows' release with the
// view.
#pragma once

#include <functional>

namespace smt {

class Wiring;
class ProgramView;
class JobLists;
class CDialogPartList;

// `jobOf` gives the job a view holds.
void WireJobLists(Wiring& wiring, std::function<JobLists&(ProgramView&)> jobOf);
// The part list panel, made when the document first needs it.
CDialogPartList* CreatePartListPanel(ProgramView& view, JobLists& job);
// The view goes away: the dispensing and drilling rows are freed.
void OnJobListViewDestroyed();

} // namespace smt
