#pragma once

class CSMTView;

namespace smt {
// The package, mark and drop-down libraries: their load steps, their menu
// commands and what the one-key clear records for the mark editor.
void WirePartLibraries(CSMTView& view);
} // namespace smt
