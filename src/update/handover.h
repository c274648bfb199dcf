#pragma once

// How the program hands over to the installer "doupdate.exe": it starts the installer from the
// program folder, where the downloaded files lie, without arguments, and names the executable
// to replace in this variable of the installer's environment. The executable is the real path
// of the running program (links resolved); it may lie outside the program folder, which is
// ~/.local/share/GebotsfalkePlus or $GEBOTSFALKE_HOME when the executable's folder is not the
// program folder. Only the installer's environment carries it, so no other program sees it.
namespace handover {
inline constexpr char kProgramVariable[] = "GEBOTSFALKE_PROGRAM";
}  // namespace handover
