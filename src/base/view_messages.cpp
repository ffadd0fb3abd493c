#include "base/view_messages.h"

namespace smt {

const ViewMessages& BuiltinViewMessages() {
    static const ViewMessages m = {
        "视觉原点 X 坐标越限 !", "视觉原点 Y 坐标越限 !", "Camera 1", "Camera 2",
        "设备正在自动工作，不能操作料架组 !", "设备正在自动工作，禁止此项执行 !",
        "没有找到PCB板 !", "Pcb原点 X 坐标越限 !", "Pcb原点 Y 坐标越限 !", "相机不存在 !",
        "没有找到视觉相机 1 !", "没有找到视觉相机 2 !", "视觉相机 1 的 X 坐标越限 !",
        "视觉相机 1 的 Y 坐标越限 !", "视觉相机 2 的 X 坐标越限 !", "视觉相机 2 的 Y 坐标越限 !",
        "Mark1点 X 坐标越限 !", "Mark1点 Y 坐标越限 !", "Mark2点 X 坐标越限 !",
        "Mark2点 Y 坐标越限 !", "抛料 X 坐标越限 !", "抛料 Y 坐标越限 !",
    };
    return m;
}

} // namespace smt
