// The feeders' one wiring: the feeder list panel (the feeder-group table's read,
// its captions, the manager's opening, the origin shift), the package, mark and
// drop-down libraries, the nozzle library, the automatic feeders and the feeder
// operation worker, joined to the link, the settings and the main view.
#pragma once

#include <string>
#include <vector>

namespace smt {

class Wiring;
class CDialogFeedList;

void WireFeeders(Wiring& wiring);

// The feeder list panel was created: it reads the feeder groups and shows the open one.
void OnFeedListCreated(CDialogFeedList& panel, const std::string& startFolder, const std::string& language);
// The view goes away after every worker has been joined.
void OnFeedersViewDestroyed();

} // namespace smt
