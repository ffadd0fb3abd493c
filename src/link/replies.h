// Everything the machine sends: command replies (which release the waiting
// command), error reports (shown to the operator, changing the state flags) and
// the keys of the machine's own panel (run, speed gear, head selection, jog).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/datagram.h"
#include "link/serial_frame.h"

namespace smt {

class MachineLink;

// Serial: one frame cut from the ring. Runs on the frame thread; its message
// boxes block that thread until answered.
void DispatchSerialReply(const ReplyFrame& frame);

// Ethernet: one message taken from the endpoint's queue.
void DispatchEthernetReply(const LinkMessage& message, MachineLink& link);

// The Ethernet reply dispatcher: sleeps on the endpoint's queue, dispatches each
// message, ends when g_StopUdpReply is raised.
void UdpReplyThread(MachineLink& link);
// Starts UdpReplyThread on its own thread; while it runs, does nothing.
void StartUdpReplyThread(MachineLink& link);
// Raises g_StopUdpReply and joins the thread.
void StopUdpReplyThread();
bool UdpReplyThreadRunning();

// Machine status of an Ethernet reply: shows its text (box or trace line),
// changes the flags; true only for status 0.
bool ShowMachineError(std::uint8_t status);
// The text of a status and whether it goes to the trace instead of a box
// (nothing for 0).
struct StatusText {
    std::string text;
    bool traceLine = false;
};
std::optional<StatusText> MachineStatusText(std::uint8_t status);

// Trace line "Machine reset Z warning !", g_HeadResetOk cleared; false.
bool ShowResetZWarning();

// Panel keys: serial '1'..'9', Ethernet 1..11.
void OnMachinePanelKey(std::uint8_t key);
void OnEthernetPanelKey(std::uint8_t key);
// Ethernet status message 0x15 from the machine: eight values for the nozzle fields.
void OnEthernetCounter(const std::uint8_t* values8);

// The next head selection of Ethernet key 6 on `machineType`.
int NextHeadSelection(int current, int machineType);

}  // namespace smt
