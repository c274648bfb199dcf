#pragma once

// Warning tones.
class Sound {
 public:
  virtual ~Sound() = default;
  // Plays a sine tone and returns when it is over; silent when there is no sound device.
  virtual void tone(int frequencyHz, int durationMs) = 0;
};
