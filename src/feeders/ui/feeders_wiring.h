// Hooks the feeder subsystem into the main view and the shell's services: the
// feeder-group table's read when the feeder list panel is created, its write in
// the full save and its release with the view.
#pragma once

namespace smt {

class CSMTView;

void WireFeedersSubsystem(CSMTView& view);
// The feeder list panel was created: the feeder groups are read from g_FeedLines.
void OnFeedListCreated();
// The view goes away after every worker has been joined.
void OnFeedersViewDestroyed();

} // namespace smt
