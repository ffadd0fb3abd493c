// The run frame's port to the job lists: what it reads of them when a run starts
// (user-interface thread). The job lists fill it; the frame above them reads it.
#pragma once

#include <functional>
#include <string>

namespace smt {

struct RunFrameSources {
    std::function<std::string()> currentPcbName;
};
RunFrameSources& TheRunFrameSources();

} // namespace smt
