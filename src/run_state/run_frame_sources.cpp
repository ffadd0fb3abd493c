#include "run_state/run_frame_sources.h"

namespace smt {

RunFrameSources& TheRunFrameSources() {
    static RunFrameSources sources;
    return sources;
}

} // namespace smt
