#pragma once

#include <QStringList>

#include "app/context.h"

class Form1;

// The program's entry steps: the "-time" run, or the log rotation, the start line, the main
// window's initialisation, showing it and the optional synchronisation at start. Returns true
// when the main window is open and the program should live in the event loop.
bool Main(AppContext& ctx, Form1& form, const QStringList& arguments);

// Builds the real services, the transfer component and the main window and runs the program;
// the process's exit code.
int runProgram(int argc, char** argv);
