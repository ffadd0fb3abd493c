// The feeder operation worker wired into the program (from the view's steps).
#pragma once

namespace smt {
class CSMTView;
void WireFeederOperations(CSMTView& view);
} // namespace smt
