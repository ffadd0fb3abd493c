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

// Each holds its family's turn from arming to the reply or its failure, so that a
// second thread's command of the same family cannot swallow the reply; the turn is
// let go before a failure is shown.
bool ExchangeSerial(ReplyFamily family, WaitKind kind, std::string_view commandName,
                    const SerialFrame& frame) {
    ReplyTurn turn(family);
    if (!turn.Take(WaitLimit(kind), commandName, Transport::Serial)) return false;
    ReplyWaiter waiter(family);
    if (!GetSerialLink().SendFrame(frame)) {
        turn.Release();
        return sendFailed(commandName);
    }
    return AwaitReply(family, WaitLimit(kind), commandName, Transport::Serial, turn);
}

bool ExchangeEthernet(ReplyFamily family, WaitKind kind, std::string_view commandName,
                      std::uint16_t command, const std::vector<std::uint8_t>& payload) {
    ReplyTurn turn(family);
    if (!turn.Take(WaitLimit(kind), commandName, Transport::Ethernet)) return false;
    ReplyWaiter waiter(family);
    if (GetMachineLink().SendCommand(command, payload) != 0) {
        turn.Release();
        return sendFailed(commandName);
    }
    return AwaitReply(family, WaitLimit(kind), commandName, Transport::Ethernet, turn);
}

}  // namespace smt
