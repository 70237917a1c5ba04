// frame_scene.h: whole-display scenes for the frame tests and the frame benchmark, built the way the program
// builds them: the modules started as the shell starts them, a map taken into the view, and the feed's
// datagrams handed to their handlers.
#pragma once

struct Bitmap;

// Starts every module for a window of that size, as the program does. The settings store must be the
// caller's own (defaults are written back into it).
void StartSceneModules(int window_width, int window_height);

// Takes bitmap (width x height) into the view as the loaded GEORGIA map, with a calibration grid of half-degree
// cells cell pixels wide, 40 N 36 E at the bottom-left node. The view owns the bitmap until EndScene.
void TakeSceneMap(Bitmap *bitmap, int width, int height, int cell);

// A datagram handed to its handler, as the listener does, printf-style; nothing queued is sent.
void HandleDatagram(const char *format, ...);

// The heaviest page the display shows: MONITORING with the ownship at (latitude, longitude), a 20-point route
// with its bullseye and steering target, 20 tags with one selected, 10 squad mates of a joined squad and 6
// event lines in their visible phase.
void BuildHeavyScene(double latitude, double longitude);

// Frees what a scene holds: the map, the grid, the routes, tags, squad mates and messages.
void EndScene();
