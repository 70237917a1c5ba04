// event_codes.h: every event message code of the program in one table. The top byte is the colour class
// (0x80 red, 0x40 orange, 0x20 yellow, 0x08 white, 0x04 blue, anything else green); the low 24 bits are shown.
#pragma once

#include <cstdint>

constexpr uint32_t kCodeVektaDisconnected = 0x80010001; // "VEKTA DISCONNECTED", once, until a MONITOR
constexpr uint32_t kCodeNoMapLoaded = 0x80020001;       // "NO MAP LOADED", once, until a map loads
constexpr uint32_t kCodeMapLoaded = 0x0202A000;         // "MAP LOADED"
constexpr uint32_t kCodeTagsCleared = 0x0203F000;       // CLEAR TAGS done
constexpr uint32_t kCodeResetTags = 0x4003F000;         // RESET ALL: tags
constexpr uint32_t kCodeResetMessages = 0x4004F000;     // CLEAR MSGS, and RESET ALL: routes
constexpr uint32_t kCodeResetSquad = 0x4005F000;        // RESET ALL: aircraft
constexpr uint32_t kCodeCannotSend = 0x80030010;        // a tag made on the broadcast squad
constexpr uint32_t kCodeTagSent = 0x02030010;           // "TAG #%d SENT TO [%d]"
constexpr uint32_t kCodeOutOfMap = 0x40020002;          // the ownship off the map
constexpr uint32_t kCodeIncomingRoute = 0x04040001;
constexpr uint32_t kCodeRouteOutOfMap = 0x20040002;
constexpr uint32_t kCodeRouteToOutOfMap = 0x20040003;
constexpr uint32_t kCodeIncomingTag = 0x08031000; // + the tag's number
constexpr uint32_t kCodeTagOutOfMap = 0x20030002;
constexpr uint32_t kCodeOtherSquadTag = 0x02030002;
