// Hooks the feeder subsystem into the main view and the shell's services: the
// feeder list panel's start (the feeder-group table's read), the full save's
// write, the sort of the first show, the caption steps, the manager's opening,
// the origin shift, the one-key clear's reference and the table's release.
#pragma once

#include <string>

namespace smt {

class CSMTView;
class CDialogFeedList;

void WireFeedersSubsystem(CSMTView& view);
// The feeder list panel was created: it reads the feeder groups and shows the open one.
void OnFeedListCreated(CDialogFeedList& panel, const std::string& startFolder, const std::string& language);
// The view goes away after every worker has been joined.
void OnFeedersViewDestroyed();

} // namespace smt
