// recording.cpp: the recording line format, and the record and replay modes.
#include "tools/feed/recording.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/udp.h"
#include "tools/feed/options.h"
#include "tools/feed/runtime.h"

namespace {
// Large enough for any UDP payload: the recording keeps what the display would cut at 576 bytes.
constexpr size_t kReceiveCapacity = 65536;
// The longest a receive waits, so that a stop or the end of the run is noticed promptly.
constexpr int kReceiveSliceMs = 100;

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}


// Records until the count, the time limit or a stop; returns the number of datagrams written, -1 on a
// receive error.
long RecordInto(UdpHandle socket, std::FILE *out, const FeedOptions &options, double &elapsed) {
  static char buffer[kReceiveCapacity];
  const double start = NowSeconds();
  long written = 0;
  elapsed = 0;
  while (!StopRequested() && (options.count == 0 || written < options.count)) {
    int wait_ms = kReceiveSliceMs;
    if (options.seconds > 0) {
      const double left = options.seconds - (NowSeconds() - start);
      if (left <= 0)
        break;
      wait_ms = std::min(wait_ms, static_cast<int>(std::ceil(left * 1000)));
    }
    const int n = UdpReceive(socket, buffer, sizeof buffer, wait_ms);
    if (n == kUdpTimeout)
      continue;
    if (n == kUdpError)
      return -1;
    const std::string line = FormatRecordLine(NowSeconds() - start, std::string_view(buffer, static_cast<size_t>(n)));
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out); // a recording cut short by a signal or a crash keeps every line received so far
    ++written;
  }
  elapsed = NowSeconds() - start;
  return written;
}

// Sends the datagrams at their recorded pace scaled by the speed factor (0: at once), within the time
// limit; returns the number sent.
long ReplayTo(const FeedTarget &target, const std::vector<RecordedDatagram> &datagrams, const FeedOptions &options,
              long &failed) {
  const double start = NowSeconds();
  long sent = 0;
  failed = 0;
  for (const RecordedDatagram &datagram : datagrams) {
    if (StopRequested())
      break;
    if (options.replay_speed > 0) {
      const double due = datagram.seconds / options.replay_speed;
      if (options.seconds > 0 && due > options.seconds)
        break;
      if (!SleepUntil(start + due))
        break;
    } else if (options.seconds > 0 && NowSeconds() - start > options.seconds) {
      break;
    }
    if (SendText(target, datagram.bytes))
      ++sent;
    else
      ++failed;
  }
  return sent;
}
} // namespace

bool ReadWholeInput(const std::string &path, std::string &text, std::string &error) {
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": cannot open the recording";
    return false;
  }
  std::ostringstream content;
  content << file.rdbuf();
  text = content.str();
  return true;
}

std::string EscapeDatagram(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
    case '\\':
      text += "\\\\";
      break;
    case '\t':
      text += "\\t";
      break;
    case '\n':
      text += "\\n";
      break;
    case '\r':
      text += "\\r";
      break;
    default:
      if (byte >= 0x20 && byte < 0x7F) {
        text += c;
      } else {
        text += "\\x";
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
      }
    }
  }
  return text;
}

bool UnescapeDatagram(std::string_view text, std::string &bytes) {
  bytes.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (++i >= text.size())
      return false;
    switch (text[i]) {
    case '\\':
      bytes += '\\';
      break;
    case 't':
      bytes += '\t';
      break;
    case 'n':
      bytes += '\n';
      break;
    case 'r':
      bytes += '\r';
      break;
    case 'x': {
      if (i + 2 >= text.size())
        return false;
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high < 0 || low < 0)
        return false;
      bytes += static_cast<char>(high * 16 + low);
      i += 2;
      break;
    }
    default:
      return false;
    }
  }
  return true;
}

std::string FormatRecordLine(double seconds, std::string_view datagram) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.3f\t", seconds);
  return stamp + EscapeDatagram(datagram);
}

bool ParseRecordLine(std::string_view line, double &seconds, std::string &datagram) {
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  const size_t tab = line.find('\t');
  if (tab == std::string_view::npos || tab == 0)
    return false;
  const std::string stamp(line.substr(0, tab));
  errno = 0;
  char *end = nullptr;
  const double value = std::strtod(stamp.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0)
    return false;
  if (!UnescapeDatagram(line.substr(tab + 1), datagram))
    return false;
  seconds = value;
  return true;
}

bool ParseRecording(std::string_view text, const std::string &where, std::vector<RecordedDatagram> &datagrams,
                    std::string &error) {
  datagrams.clear();
  size_t number = 0;
  while (!text.empty()) {
    const size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    ++number;
    if (line.empty() || line == "\r")
      continue;
    RecordedDatagram datagram;
    if (!ParseRecordLine(line, datagram.seconds, datagram.bytes)) {
      error = where + ":" + std::to_string(number) + ": not a recording line (SECONDS<tab>TEXT)";
      return false;
    }
    datagrams.push_back(std::move(datagram));
  }
  return true;
}

int RunRecord(const FeedOptions &options) {
  UdpStartup();
  const UdpHandle socket = UdpOpenListener(options.port, !options.bind_any);
  if (socket == kUdpInvalid) {
    std::fprintf(stderr, "kestrel-feed: cannot listen on %s port %d\n", options.bind_any ? "0.0.0.0" : "127.0.0.1",
                 options.port);
    return 1;
  }
  return RecordFrom(socket, options);
}

int RecordFrom(UdpHandle socket, const FeedOptions &options) {
  std::FILE *out = options.file == "-" ? stdout : std::fopen(options.file.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "kestrel-feed: %s: cannot write the recording\n", options.file.c_str());
    UdpClose(socket);
    return 1;
  }
  std::fprintf(stderr, "kestrel-feed: recording what arrives on %s port %d into %s\n",
               options.bind_any ? "0.0.0.0" : "127.0.0.1", UdpLocalPort(socket), options.file.c_str());
  std::fflush(stderr);
  double elapsed = 0;
  const long written = RecordInto(socket, out, options, elapsed);
  UdpClose(socket);
  const bool closed = out == stdout ? std::fflush(out) == 0 : std::fclose(out) == 0;
  if (written < 0) {
    std::fprintf(stderr, "kestrel-feed: receiving failed\n");
    return 1;
  }
  std::fprintf(stderr, "kestrel-feed: recorded %ld datagrams in %.3f s\n", written, elapsed);
  if (!closed) {
    std::fprintf(stderr, "kestrel-feed: %s: writing the recording failed\n", options.file.c_str());
    return 1;
  }
  return 0;
}

int RunReplay(const FeedOptions &options) {
  std::string text, error;
  std::vector<RecordedDatagram> datagrams;
  if (!ReadWholeInput(options.file, text, error) ||
      !ParseRecording(text, options.file == "-" ? "<stdin>" : options.file, datagrams, error)) {
    std::fprintf(stderr, "kestrel-feed: %s\n", error.c_str());
    return 1;
  }
  FeedTarget target;
  if (!ResolveTarget(options.host, options.port, target, error)) {
    std::fprintf(stderr, "kestrel-feed: %s\n", error.c_str());
    return 1;
  }
  const double start = NowSeconds();
  long failed = 0;
  const long sent = ReplayTo(target, datagrams, options, failed);
  std::fprintf(stderr, "kestrel-feed: replayed %ld of %zu datagrams to %s port %d in %.3f s\n", sent, datagrams.size(),
               target.dotted, target.port, NowSeconds() - start);
  if (failed > 0) {
    std::fprintf(stderr, "kestrel-feed: %ld sends failed\n", failed);
    return 1;
  }
  return 0;
}
