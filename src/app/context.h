#pragma once

struct AppState;
struct Services;
class SettingsStore;

// What every procedure works with: the shared values, the operating-system services and the
// settings store.
struct AppContext {
  AppState& state;
  Services& services;
  SettingsStore& settings;
};
