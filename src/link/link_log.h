// Diagnostic lines of the link (always written, whatever m_Write_Logfile says).
#pragma once

namespace smt {

void LinkLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace smt
