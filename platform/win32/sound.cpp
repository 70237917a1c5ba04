// sound.cpp: Windows implementation of sound.h through the multimedia library.
#include "platform/sound.h"

#include <windows.h>

#include <mmsystem.h>

// SND_ASYNC makes a new call stop the sound still playing; SND_NODEFAULT keeps a missing file silent
// instead of playing the system's default beep on every button press.
void PlayWaveAsync(const wchar_t *path) { PlaySoundW(path, nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT); }

const wchar_t *ClickSoundPath() { return L"button.wav"; }

// The current folder is only known when the click plays; nothing to say at start-up.
void ReportClickSound() {}
