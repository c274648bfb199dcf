#pragma once

#include "platform/sound.h"

// Sine tones on the default ALSA device; silent (and quiet on stderr) without one.
class AlsaSound : public Sound {
 public:
  AlsaSound();
  void tone(int frequencyHz, int durationMs) override;
};
