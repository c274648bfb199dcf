#include "platform/linux/alsasound.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <vector>

namespace {
void silentAlsaErrors(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

AlsaSound::AlsaSound() {
  snd_lib_error_set_handler(&silentAlsaErrors);
}

void AlsaSound::tone(int frequencyHz, int durationMs) {
  if (frequencyHz <= 0 || durationMs <= 0) return;
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) return;
  const unsigned rate = 44100;
  if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, rate, 1,
                         50000) < 0) {
    snd_pcm_close(pcm);
    return;
  }
  const size_t frames = static_cast<size_t>(rate) * static_cast<size_t>(durationMs) / 1000;
  const size_t fade = std::min<size_t>(frames / 4, rate / 200);  // 5 ms against clicks
  std::vector<int16_t> samples(frames);
  for (size_t i = 0; i < frames; ++i) {
    double gain = 0.4;
    if (i < fade) gain *= double(i) / fade;
    if (frames - i < fade) gain *= double(frames - i) / fade;
    samples[i] = static_cast<int16_t>(32767.0 * gain *
                                      std::sin(2.0 * M_PI * frequencyHz * double(i) / rate));
  }
  size_t done = 0;
  while (done < frames) {
    snd_pcm_sframes_t n = snd_pcm_writei(pcm, samples.data() + done, frames - done);
    if (n < 0) n = snd_pcm_recover(pcm, static_cast<int>(n), 1);
    if (n < 0) break;
    done += static_cast<size_t>(n);
  }
  snd_pcm_drain(pcm);
  snd_pcm_close(pcm);
}
