// sound.h: the button click.
#pragma once

// Plays a wave file without waiting; a new call cuts the sound still playing. Missing files are ignored.
void PlayWaveAsync(const wchar_t *path);

// The click's wave file. Windows: "button.wav" in the current folder, which the program's shortcut makes its own
// folder. Portable: button.wav beside the executable, else in ../share/kestrel from it (the installed data folder),
// looked for once; a null path when there is none, which plays nothing.
const wchar_t *ClickSoundPath();

// One diagnostic line at start-up: which file the click is, or that there is none and where it was looked for.
void ReportClickSound();
