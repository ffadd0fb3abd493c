#include "platform/msgbox.h"

#include <cstdio>
#include <mutex>

namespace plat {
namespace {
std::mutex g_handlerMutex;
MsgBoxHandler g_handler;
} // namespace

MsgAnswer ShowMessageBox(const MsgBoxRequest& request) {
    MsgBoxHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_handler;
    }
    if (handler) return handler(request);
    std::fprintf(stderr, "[message] %s\n", request.text.c_str());
    return request.buttons == MsgButtons::YesNo || request.buttons == MsgButtons::YesNoCancel
               ? MsgAnswer::Yes
               : MsgAnswer::Ok;
}

MsgAnswer MessageBoxOk(const std::string& text, bool topmost, MsgIcon icon, const std::string& caption) {
    return ShowMessageBox({text, caption, MsgButtons::Ok, icon, topmost});
}

MsgAnswer MessageBoxAsk(const std::string& text, MsgButtons buttons, bool topmost, MsgIcon icon,
                        const std::string& caption) {
    return ShowMessageBox({text, caption, buttons, icon, topmost});
}

MsgBoxHandler SetMessageBoxHandler(MsgBoxHandler handler) {
    std::lock_guard lock(g_handlerMutex);
    std::swap(handler, g_handler);
    return handler;
}

} // namespace plat
