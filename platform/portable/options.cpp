// options.cpp: the portable program's command line, read with getopt_long.
#include "platform/portable/options.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <getopt.h>
#include <system_error>
#include <unistd.h>

namespace {
constexpr long kMostSeconds = 1000000; // eleven and a half days: a soak run, not a typing slip turned forever

enum : int { kSeconds = 1000, kScreenshotDir, kKeys };

const option kLongOptions[] = {
    {"seconds", required_argument, nullptr, kSeconds},
    {"screenshot-dir", required_argument, nullptr, kScreenshotDir},
    {"keys", required_argument, nullptr, kKeys},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

bool ParseSeconds(const std::string &text, int &seconds) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
    return false;
  errno = 0;
  char *end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < 1 || value > kMostSeconds)
    return false;
  seconds = static_cast<int>(value);
  return true;
}

bool ParseKeys(const std::string &list, std::vector<int> &keys, std::string &error) {
  keys.clear();
  for (size_t start = 0; start <= list.size();) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string name = list.substr(start, comma - start);
    const int key = KeyByName(name);
    if (key == 0) {
      error = "--keys: '" + name + "' is not a key";
      return false;
    }
    keys.push_back(key);
    start = comma + 1;
  }
  return true;
}

// A folder is writable when a file can be made in it: the check that also holds for root, for whom access()
// grants everything, and for a read-only mount.
bool CheckWritableFolder(const std::string &folder, std::string &error) {
  const std::string probe = folder + "/.kestrel-probe-" + std::to_string(::getpid());
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    error = "--screenshot-dir: cannot write into '" + folder + "': " + std::generic_category().message(errno);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}
} // namespace

int KeyByName(const std::string &given) {
  std::string name;
  for (const char c : given)
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
    return name[0];
  if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F' && std::isdigit(static_cast<unsigned char>(name[1])) &&
      (name.size() == 2 || std::isdigit(static_cast<unsigned char>(name[2])))) {
    const int n = std::atoi(name.c_str() + 1);
    return n >= 1 && n <= 10 ? 0x70 + n - 1 : 0;
  }
  const struct {
    const char *name;
    int key;
  } named[] = {{"PGUP", 0x21}, {"PGDN", 0x22}, {"LEFT", 0x25}, {"UP", 0x26}, {"RIGHT", 0x27}, {"DOWN", 0x28}};
  for (const auto &n : named)
    if (name == n.name)
      return n.key;
  return 0;
}

OptionsResult ParseProgramOptions(int argc, char **argv, ProgramOptions &options, std::string &error) {
  options = ProgramOptions{};
  optind = 0; // 0, not 1: glibc then starts afresh, so the parser can be run more than once (tests)
  opterr = 0; // our own messages, which name the option and the value
  for (;;) {
    const int index = optind == 0 ? 1 : optind;
    const int c = getopt_long(argc, argv, ":h", kLongOptions, nullptr);
    if (c == -1)
      break;
    const std::string value = optarg != nullptr ? optarg : "";
    const std::string given = index < argc ? argv[index] : "";
    switch (c) {
    case 'h':
      return OptionsResult::kHelp;
    case kSeconds:
      if (!ParseSeconds(value, options.seconds)) {
        error = "--seconds wants a whole number of seconds from 1 to " + std::to_string(kMostSeconds) + ", not '" +
                value + "'";
        return OptionsResult::kError;
      }
      break;
    case kScreenshotDir:
      if (value.empty()) {
        error = "--screenshot-dir wants a folder";
        return OptionsResult::kError;
      }
      if (!CheckWritableFolder(value, error))
        return OptionsResult::kError;
      options.screenshot_dir = value;
      break;
    case kKeys:
      if (!ParseKeys(value, options.keys, error))
        return OptionsResult::kError;
      break;
    case ':':
      error = given.substr(0, given.find('=')) + " needs a value";
      return OptionsResult::kError;
    default:
      error = "unknown option '" + given + "'";
      return OptionsResult::kError;
    }
  }
  if (optind < argc) {
    error = "unexpected argument '" + std::string(argv[optind]) + "'";
    return OptionsResult::kError;
  }
  return OptionsResult::kRun;
}

std::string ProgramUsage() {
  return R"(kestrel: the KESTREL navigation display (portable front end).

Usage: kestrel [options]

Options:
  --seconds N           end by itself after N seconds (1 to 1000000), exit code 0; default: run until closed
  --screenshot-dir DIR  save the display as DIR/kestrel-NNNN.png once a second (NNNN: seconds since the start);
                        DIR must exist and be writable
  --keys K1,K2,...      press these keys, one a second from the first second on, as if typed: a letter or
                        digit, F1 to F10, UP, DOWN, LEFT, RIGHT, PGUP, PGDN (Z and other unmapped keys: a pause)
  -h, --help            show this text and exit

Everything else is a setting, kept in $XDG_CONFIG_HOME/kestrel/settings.ini (~/.config/kestrel/settings.ini):
the UDP port to listen on, the map and grid files, the window, the bezel and the stick. A setting that file
lacks is taken from kestrel/settings.ini in the folders of $XDG_CONFIG_DIRS (/etc/xdg/kestrel/settings.ini,
where an installed package names its theatres), which is never written. What could not be used and why is
written to standard error, one line each, as is where the settings are and which port is bound. The click,
button.wav, is looked for beside the program, then in ../share/kestrel from it.

Without a screen (no DISPLAY or WAYLAND_DISPLAY) the program ends with exit code 1; set SDL_VIDEODRIVER=offscreen
to run it on purpose without one. Exit codes: 0 closed or --seconds elapsed, 1 cannot start, 2 bad command line.
)";
}
