#include "vision/camera_panel_port.h"

namespace smt {

CameraPanelPort& TheCameraPanelPort() {
    static CameraPanelPort port;
    return port;
}

} // namespace smt
