#pragma once

class Clock;
class SystemClock;
class WindowList;
class Sound;
class Shell;
class Dialogs;
class Processes;
class ProgramInfo;
class SleepInhibitor;
class Notifier;
class Clipboard;
class Keyring;

// The operating-system services the program uses. main() picks the real backends; tests hand
// in fakes.
struct Services {
  Clock& clock;
  SystemClock& systemClock;
  WindowList& windowList;
  Sound& sound;
  Shell& shell;
  Dialogs& dialogs;
  Processes& processes;
  ProgramInfo& programInfo;
  SleepInhibitor& sleepInhibitor;
  Notifier& notifier;
  Clipboard& clipboard;
  Keyring& keyring;
};
