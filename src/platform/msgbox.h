// Message boxes callable from any thread. The user interface installs a handler
// that shows the box on its own thread and hands the answer back; tests install
// a scripted responder, so no test ever blocks on a box.
#pragma once

#include <functional>
#include <string>

namespace plat {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MsgBoxRequest {
    std::string text;     // UTF-8; lines separated by "\r\n" or "\n" as the caller wrote them
    std::string caption;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    bool topmost = false;
};

using MsgBoxHandler = std::function<MsgAnswer(const MsgBoxRequest&)>;

// Blocks the caller until the box is answered.
MsgAnswer ShowMessageBox(const MsgBoxRequest& request);

// Shorthands for the common boxes.
MsgAnswer MessageBoxOk(const std::string& text, bool topmost = false,
                       MsgIcon icon = MsgIcon::None, const std::string& caption = {});
MsgAnswer MessageBoxAsk(const std::string& text, MsgButtons buttons, bool topmost = false,
                        MsgIcon icon = MsgIcon::Question, const std::string& caption = {});

// Installs the handler; returns the previous one. With none installed, the box is
// written to the standard error stream and answered with its first button
// (Ok or Yes), so a headless tool never hangs.
MsgBoxHandler SetMessageBoxHandler(MsgBoxHandler handler);

} // namespace plat
