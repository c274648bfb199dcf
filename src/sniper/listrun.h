#pragma once

// "gebotsfalkeplus --liste": prints the user's running windows, one line each (see
// groups/windowtable.h), and ends. No window: nothing is printed (a note goes to standard
// error), exit code 0. No session bus: a message on standard error, exit code 1.
bool isListRun(int argc, char** argv);
int runList(int argc, char** argv);
