#include "feeders/ui/feeders_wiring.h"

#include "app/shellservices.h"
#include "app/ui/smtview.h"
#include "base/globals.h"
#include "feeders/feed_group_file.h"
#include "feeders/feed_group_table.h"

namespace smt {

void WireFeedersSubsystem(CSMTView& /*view*/) {
    // Only a table that was read is written: an unread one would empty the file.
    GetShellServices().writeFeedGroupTable = [] { WriteFeedGroupTable(TheFeedGroupTable(), g_FeedLines); };
}

void OnFeedListCreated() { ReadFeedGroupTable(TheFeedGroupTable(), g_FeedLines); }

void OnFeedersViewDestroyed() { TheFeedGroupTable().DestroyFeedGroupTable(); }

} // namespace smt
