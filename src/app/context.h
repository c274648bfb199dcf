#pragma once

struct AppState;
struct Services;
class SettingsStore;
class Inet;

// What every procedure works with: the shared values, the operating-system services, the
// settings store and the application's transfer component Inet1, through which the time page,
// the bid, the vendor's version file and the update's file list go (one request at a time).
struct AppContext {
  AppState& state;
  Services& services;
  SettingsStore& settings;
  Inet& inet1;
};
