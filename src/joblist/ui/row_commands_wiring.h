// The part list's row commands, row editors, coordinate tests and board
// transforms reached from its context menus and double click.
#pragma once

namespace smt {

class CSMTView;
class CDialogPartList;

// Creates the three row editors under the panel and registers the menu handlers.
void WireRowCommands(CSMTView& view, CDialogPartList* panel);

} // namespace smt
