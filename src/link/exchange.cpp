#include "link/exchange.h"

#include "link/cmd_srv.h"
#include "link/link_log.h"
#include "link/serial_link.h"
#include "platform/msgbox.h"

namespace smt {

namespace {
// A command that never left the computer: the link is down, say so at once
// instead of waiting out the reply limit.
bool sendFailed(std::string_view commandName) {
    g_Connected.store(false);
    LinkLog("Send failed = %.*s", static_cast<int>(commandName.size()), commandName.data());
    if (!plat::WaitsCancelled()) plat::MessageBoxOk(SendFailedText(commandName), true, plat::MsgIcon::Error);
    return false;
}
}  // namespace

std::string SendFailedText(std::string_view commandName) {
    return CurrentLinkTexts().sendFailed + CommandBoxName(commandName) + " !";
}

bool ExchangeSerial(ReplyFamily family, WaitKind kind, std::string_view commandName,
                    const SerialFrame& frame) {
    ReplyWaiter waiter(family);
    if (!GetSerialLink().SendFrame(frame)) return sendFailed(commandName);
    return AwaitReply(family, kind, commandName, Transport::Serial);
}

bool ExchangeEthernet(ReplyFamily family, WaitKind kind, std::string_view commandName,
                      std::uint16_t command, const std::vector<std::uint8_t>& payload) {
    ReplyWaiter waiter(family);
    if (GetMachineLink().SendCommand(command, payload) != 0) return sendFailed(commandName);
    return AwaitReply(family, kind, commandName, Transport::Ethernet);
}

}  // namespace smt
