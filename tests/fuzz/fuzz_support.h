// fuzz_support.h: what the libFuzzer harnesses share: a private settings folder, the core started as the shell starts
// it, input written to a scratch file, and a paint of the map pages into a recording canvas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Points the settings file and the debug log at a new folder of their own, away from the user's, and starts the
// core's modules as the shell does (without the listener thread). Call once, from LLVMFuzzerInitialize.
void StartFuzzedCore();

// Writes the input to a file of that name in the harness's own folder; returns its path (empty on failure).
std::string WriteScratchFile(const char *name, const uint8_t *data, size_t size);

// Paints the MONITORING and TAGGING pages with the debug overlays into a recording canvas, so that whatever the
// input put into the shared records goes through the drawing, and returns how many primitives were drawn.
size_t PaintMapPages();

// Ends the run with a report when a property a harness checks does not hold.
void FuzzCheck(bool holds, const char *what);
