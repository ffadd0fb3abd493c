// One command out and its reply back: the send-and-wait step every waiting
// command function shares. Arms the family's event, sends over the transport,
// waits within the kind's limit. false: the command failed and books nothing (the
// operator has been told, `g_Connected` is cleared; see AwaitReply).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "link/link_lost.h"
#include "link/link_state.h"
#include "link/serial_frame.h"

namespace smt {

// The bound of one command's reply, and whether the command moves drives (its
// reply lost, where the machine stands is unknown).
struct ReplyBound {
    plat::Millis limit;
    bool moves = true;
};
// The bound of a kind's constant limit.
ReplyBound BoundOfKind(WaitKind kind);

// A whole serial frame (BuildSerialFrame) through the serial link. Over a link
// declared lost nothing is sent (RefuseOnLostLink).
bool ExchangeSerial(ReplyFamily family, const ReplyBound& bound, std::string_view commandName,
                    const SerialFrame& frame);
bool ExchangeSerial(ReplyFamily family, WaitKind kind, std::string_view commandName,
                    const SerialFrame& frame);
// One datagram through the Ethernet link, under g_LinkMutex.
bool ExchangeEthernet(ReplyFamily family, const ReplyBound& bound, std::string_view commandName,
                      std::uint16_t command, const std::vector<std::uint8_t>& payload);
bool ExchangeEthernet(ReplyFamily family, WaitKind kind, std::string_view commandName,
                      std::uint16_t command, const std::vector<std::uint8_t>& payload);

// The text shown when `commandName` could not be sent at all.
std::string SendFailedText(std::string_view commandName);

}  // namespace smt
