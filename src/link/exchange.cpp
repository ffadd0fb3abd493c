#include "link/exchange.h"

#include "link/cmd_srv.h"
#include "link/link_log.h"
#include "link/serial_link.h"
#include "platform/msgbox.h"

namespace smt {

namespace {
// A command that never left the computer: the link is down, say so at once
// instead of waiting out the reply limit (once: a lost link is told once).
bool sendFailed(std::string_view commandName) {
    const bool told = DeclareLinkLost();
    g_Connected.store(false);
    LinkLog("Send failed = %.*s", static_cast<int>(commandName.size()), commandName.data());
    if (!told && !plat::WaitsCancelled())
        plat::MessageBoxOk(SendFailedText(commandName), true, plat::MsgIcon::Error);
    return false;
}
}  // namespace

std::string SendFailedText(std::string_view commandName) {
    return CurrentLinkTexts().sendFailed + CommandBoxName(commandName) + " !";
}

ReplyBound BoundOfKind(WaitKind kind) { return {WaitLimit(kind), KindMoves(kind)}; }

// Each holds its family's turn from arming to the reply or its failure, so that a
// second thread's command of the same family cannot swallow the reply; the turn is
// let go before a failure is shown.
bool ExchangeSerial(ReplyFamily family, const ReplyBound& bound, std::string_view commandName,
                    const SerialFrame& frame) {
    if (LinkLost()) return RefuseOnLostLink(commandName);
    ReplyTurn turn(family);
    if (!turn.Take(bound.limit, commandName, Transport::Serial)) return false;
    // The turn's holder may have lost the link while this one waited for it.
    if (LinkLost()) return RefuseOnLostLink(commandName);
    const WaitStart start = WaitStartNow();
    ReplyWaiter waiter(family);
    if (!GetSerialLink().SendFrame(frame)) {
        turn.Release();
        return sendFailed(commandName);
    }
    return AwaitReplyFrom(family, bound.limit, commandName, Transport::Serial, turn, bound.moves, start);
}

bool ExchangeSerial(ReplyFamily family, WaitKind kind, std::string_view commandName,
                    const SerialFrame& frame) {
    return ExchangeSerial(family, BoundOfKind(kind), commandName, frame);
}

bool ExchangeEthernet(ReplyFamily family, const ReplyBound& bound, std::string_view commandName,
                      std::uint16_t command, const std::vector<std::uint8_t>& payload) {
    if (LinkLost()) return RefuseOnLostLink(commandName);
    ReplyTurn turn(family);
    if (!turn.Take(bound.limit, commandName, Transport::Ethernet)) return false;
    // The turn's holder may have lost the link while this one waited for it.
    if (LinkLost()) return RefuseOnLostLink(commandName);
    const WaitStart start = WaitStartNow();
    ReplyWaiter waiter(family);
    if (GetMachineLink().SendCommand(command, payload) != 0) {
        turn.Release();
        return sendFailed(commandName);
    }
    return AwaitReplyFrom(family, bound.limit, commandName, Transport::Ethernet, turn, bound.moves, start);
}

bool ExchangeEthernet(ReplyFamily family, WaitKind kind, std::string_view commandName,
                      std::uint16_t command, const std::vector<std::uint8_t>& payload) {
    return ExchangeEthernet(family, BoundOfKind(kind), commandName, command, payload);
}

}  // namespace smt
