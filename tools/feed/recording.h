// recording.h: recordings of received datagrams, one line each: arrival time, a tab, the escaped text;
// and the record and replay modes that write and send them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/udp.h"

struct FeedOptions;

// Printable ASCII stays as it is; backslash, tab, newline and carriage return become \\ \t \n \r and
// every other byte \xHH, so that a datagram always fits on one line.
std::string EscapeDatagram(std::string_view bytes);
// The inverse; false on a dangling backslash, an unknown escape or a bad \x.
bool UnescapeDatagram(std::string_view text, std::string &bytes);

// "SECONDS<tab>ESCAPED", seconds with three decimals, without the line end.
std::string FormatRecordLine(double seconds, std::string_view datagram);
// Reads a line of that form (a trailing carriage return is ignored); false when it is not one.
bool ParseRecordLine(std::string_view line, double &seconds, std::string &datagram);

struct RecordedDatagram {
  double seconds = 0;
  std::string bytes;
};
// Reads a whole recording; blank lines are skipped. False with "where:line: reason" on a malformed line.
bool ParseRecording(std::string_view text, const std::string &where, std::vector<RecordedDatagram> &datagrams,
                    std::string &error);

// The whole of a file, or of standard input for "-"; false with a message naming the file.
bool ReadWholeInput(const std::string &path, std::string &text, std::string &error);

// The two modes; they return the process exit status.
int RunRecord(const FeedOptions &options);
int RunReplay(const FeedOptions &options);
// Recording from a socket the caller has bound already (so that nothing sent after the bind is missed), which it
// closes; options.port is not used.
int RecordFrom(UdpHandle socket, const FeedOptions &options);
