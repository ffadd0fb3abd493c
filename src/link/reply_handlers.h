// What the reply threads do for the replies that change the machine state: the
// handshake answered, a homing finished (every type but 4, and type 4), and a
// vacuum reading. They run on the reply thread.
#pragma once

#include <string>

namespace smt {

// Puts these handlers into the link hooks (onLinkEstablished, onResetFinished,
// onResetFinishedModel4, showVacuumReading) and the speed gear command into
// setSpeedGear (the machine's panel keys send it).
void InstallCommandReplyHandlers();

// The handshake was answered (serial reply 0x00; the Ethernet connect calls it
// after discovery). Waits for the connect procedure to set g_Connected; an
// attempt abandoned meanwhile (its link threads stopped), or no connect within
// the query limit, ends the wait and nothing further happens.
void OnLinkEstablished();
// The homing-finished reply (common, and type 4): zero the counters of the drives
// the homing command sent home. true when the busy flag went on to the
// visual-origin move; the homing's owner releases it otherwise.
bool OnResetFinished();
bool OnResetFinishedModel4();
// "检测真空值为：57kPa" into the trace.
void ShowVacuumReading();

// The panel's vacuum caption (built-in "检测真空值为：").
void SetVacuumCaption(const std::string& caption);

}  // namespace smt
