#pragma once

// Told by the version check, the moment it finds that the vendor offers a newer version than
// this one: the main window then shows its update mark ("U"), which opens the update window.
class UpdateMark {
 public:
  // Called before the check saves the version it found: the setting "Update" still holds the
  // one found before.
  virtual void showUpdateMark() = 0;

 protected:
  ~UpdateMark() = default;
};
