// Steps shared by the command functions (not for callers outside the link).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "link/command_frames.h"
#include "link/commands.h"
#include "link/exchange.h"
#include "link/link_state.h"

namespace smt::cmd {

bool UseSerial();      // m_CommModel 0
int MachineType();
void Refuse(const char* text);  // topmost box
// The new X and Y counters inside the travel limits; X is tested first.
bool CheckXY(std::int64_t newX, std::int64_t newY);
// "61->Start", "61->end" with a line end.
void TraceStart(std::uint16_t code);
void TraceEnd(std::uint16_t code);
void TraceLine(const std::string& text);
// Sends the frame or payload and waits for the family's reply; false: nothing
// to book (the exchange has told the operator).
bool Exchange(std::uint16_t code, ReplyFamily family, const ReplyBound& bound, const ByteVector& serialData,
              const ByteVector& udpPayload);
bool ExchangeUdp(std::uint16_t code, ReplyFamily family, const ReplyBound& bound, const ByteVector& payload);
// The bound of a move: its drives run together, the slowest of `legs` (pulses and
// run speed code each) decides; `dwellMs` (strokes, delays) comes on top.
struct TravelLeg {
    std::int64_t pulses = 0;
    std::int32_t runCode = 0;
};
ReplyBound MoveBound(std::initializer_list<TravelLeg> legs, std::int64_t dwellMs = 0);
// A command that moves nothing: limits::kNoMove; its lost reply leaves the homed
// state as it was.
ReplyBound QueryBound();
// Sends without waiting; `lockUdp` false sends the datagram without the link mutex.
bool SendOnly(std::uint16_t code, const ByteVector& serialData, const ByteVector& udpPayload,
              bool lockUdp = true);
bool SendSerialOnly(std::uint16_t code, const ByteVector& serialData);
// Disables the manual controls and sends a homing command; a send that fails
// enables them again and gives false.
bool StartHoming(std::uint16_t code, const ByteVector& serialData, const ByteVector& udpPayload);
void CountCommand();
void ShowField(PositionField field, std::int32_t pulses);
void ShowXY();
void ShowA1();
bool HeadsHomed();  // g_HeadResetOk
// "Error E3 !" when not; over a lost link only the trace (the loss was told).
bool HeadsHomedOrRefuse();
// The speed codes of an X/Y move with the live limits and speed options.
void AdjustXYSpeeds(AxisSpeed& x, std::int32_t dX, AxisSpeed& y, std::int32_t dY);

}  // namespace smt::cmd
