#include "vision/vision_hooks.h"

#include "base/hooks.h"
#include "vision/set_view.h"

namespace smt {

void RegisterVisionHooks(HookRegistry& r) {
    constexpr auto Q = HookKind::Query;
    SetViewSources& s = TheSetViewSources();
    r.Add("cameras", "SetViewSources.cameraRecord", s.cameraRecord, Q, std::optional<CameraVisionRecord>{});
    r.Add("cameras", "SetViewSources.visionColourReversal", s.visionColourReversal, Q, false);
    r.Add("job lists", "SetViewSources.markColourReversal", s.markColourReversal, Q, false);
    r.Add("job lists", "SetViewSources.pcbEditorInitialising", s.pcbEditorInitialising, Q, false);
    r.Add("run", "SetViewSources.flyMeasure", s.flyMeasure, Q);
}

} // namespace smt
