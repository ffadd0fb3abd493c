// Keeps the core library non-empty until the shell's sources land.
namespace smt { int g_CoreLibraryPresent = 1; }
