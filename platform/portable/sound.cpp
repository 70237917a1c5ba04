// sound.cpp: portable implementation of sound.h: the click through one queued SDL audio device.
#include "platform/sound.h"

#include <SDL.h>

#include <climits>
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/utf8.h"

namespace {

// The device is opened at a fixed format; every wave is converted to it when loaded. The last wave played is
// kept, as the same click is played on every press.
//
// An open SDL device keeps a thread of its own running, mixing silence and waking every buffer period, whether
// anything plays or not: several percent of the display's processor time in flight. So the device is closed once
// no click has been asked for during kIdleCloseMs, and opened again at the next one; a pilot pressing one button
// after another keeps it open.
struct SoundOutput {
  std::mutex lock;
  bool tried = false; // an open was tried since the last close: a device that failed to open is not retried
  SDL_AudioDeviceID device = 0;
  SDL_AudioSpec format{};
  std::string loaded_path;
  std::vector<Uint8> samples;
  Uint32 last_play = 0;   // SDL_GetTicks of the last click
  SDL_TimerID closer = 0; // the timer that closes the idle device, while the device is open
};

SoundOutput output;

constexpr Uint32 kIdleCloseMs = 10000;

// On SDL's timer thread: closes the device once it has been idle long enough, else looks again when it will be.
Uint32 CloseWhenIdle(Uint32, void *) {
  std::lock_guard hold(output.lock);
  const Uint32 idle = SDL_GetTicks() - output.last_play;
  if (idle < kIdleCloseMs)
    return kIdleCloseMs - idle;
  if (output.device != 0)
    SDL_CloseAudioDevice(output.device);
  output.device = 0;
  output.tried = false;
  output.closer = 0;
  return 0; // the timer ends
}

bool OpenOutput() {
  output.last_play = SDL_GetTicks();
  if (output.tried)
    return output.device != 0;
  output.tried = true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
    return false;
  SDL_AudioSpec wanted{};
  wanted.freq = 44100;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = 1024;
  output.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &output.format, 0);
  if (output.device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(output.device, 0);
  output.closer = SDL_AddTimer(kIdleCloseMs, CloseWhenIdle, nullptr);
  return true;
}

// Reads a wave file and converts it to the device's format.
bool LoadWave(const std::string &path, std::vector<Uint8> &samples) {
  SDL_AudioSpec wave{};
  Uint8 *data = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path.c_str(), &wave, &data, &length) == nullptr)
    return false;
  SDL_AudioCVT convert;
  const int built = SDL_BuildAudioCVT(&convert, wave.format, wave.channels, wave.freq, output.format.format,
                                      output.format.channels, output.format.freq);
  if (built < 0) {
    SDL_FreeWAV(data);
    return false;
  }
  samples.assign(static_cast<size_t>(length) * (built == 0 ? 1 : convert.len_mult), 0);
  std::memcpy(samples.data(), data, length);
  SDL_FreeWAV(data);
  if (built > 0) {
    convert.buf = samples.data();
    convert.len = static_cast<int>(length);
    if (SDL_ConvertAudio(&convert) != 0)
      return false;
    samples.resize(static_cast<size_t>(convert.len_cvt));
  }
  return true;
}

} // namespace

void PlayWaveAsync(const wchar_t *path) {
  if (path == nullptr)
    return;
  std::lock_guard hold(output.lock);
  if (!OpenOutput())
    return;
  const std::string file = WideToUtf8(path);
  if (file != output.loaded_path) {
    output.loaded_path.clear();
    if (!LoadWave(file, output.samples))
      return;
    output.loaded_path = file;
  }
  // A new click cuts the one still playing.
  SDL_ClearQueuedAudio(output.device);
  SDL_QueueAudio(output.device, output.samples.data(), static_cast<Uint32>(output.samples.size()));
}

namespace {

// The folder of the running executable, by the kernel's own link: the folder the program was started from and
// its PATH say nothing about where it is installed.
std::string ExecutableFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0)
    return {};
  const std::string path(buffer, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

struct ClickSearch {
  std::string folder; // of the executable; empty when unknown
  std::string found;  // empty when there is no click
};

ClickSearch FindClickSound() {
  ClickSearch search{ExecutableFolder(), {}};
  if (search.folder.empty())
    return search;
  // Beside the executable: a build folder, or a folder the pilot unpacked; then the installed data folder.
  for (const std::string &candidate : {search.folder + "/button.wav", search.folder + "/../share/kestrel/button.wav"}) {
    if (::access(candidate.c_str(), R_OK) == 0) {
      search.found = candidate;
      break;
    }
  }
  return search;
}

const ClickSearch &Click() {
  static const ClickSearch search = FindClickSound();
  return search;
}

} // namespace

const wchar_t *ClickSoundPath() {
  static const std::wstring path = Utf8ToWide(Click().found);
  return path.empty() ? nullptr : path.c_str();
}

void ReportClickSound() {
  const ClickSearch &search = Click();
  if (!search.found.empty())
    WriteDiagnostic("sound: the click is " + search.found);
  else if (search.folder.empty())
    WriteDiagnostic("sound: the program's own folder is unknown (/proc/self/exe), so button.wav is not found; the "
                    "buttons make no click");
  else
    WriteDiagnostic("sound: no button.wav beside " + search.folder + " nor in " + search.folder +
                    "/../share/kestrel; the buttons make no click");
}
