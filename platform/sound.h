// sound.h: the button click.
#pragma once

// Plays a wave file without waiting; a new call cuts the sound still playing. Missing files are ignored.
void PlayWaveAsync(const wchar_t *path);
