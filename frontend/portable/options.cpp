// options.cpp: the portable program's command line, read with CLI11; the values are checked here, so that every
// refusal names the option and the value in our own words.
#include "frontend/portable/options.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace {
constexpr long kMostSeconds = 1000000; // eleven and a half days: a soak run, not a typing slip turned forever

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
  CLI::App app{"kestrel"};
  app.allow_extras(); // an unknown option or a stray argument is told below, in the words of the other refusals
  std::string seconds, folder, keys;
  // Given twice, the last one counts.
  CLI::Option *const seconds_option =
      app.add_option("--seconds", seconds)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  CLI::Option *const folder_option =
      app.add_option("--screenshot-dir", folder)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  CLI::Option *const keys_option =
      app.add_option("--keys", keys)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    return OptionsResult::kHelp;
  } catch (const CLI::ArgumentMismatch &e) {
    // "--seconds: 1 required TEXT missing": the option came last, without its value.
    const std::string what = e.what();
    error = what.substr(0, what.find(':')) + " needs a value";
    return OptionsResult::kError;
  } catch (const CLI::ParseError &e) {
    error = e.what();
    return OptionsResult::kError;
  }
  if (seconds_option->count() > 0 && !ParseSeconds(seconds, options.seconds)) {
    error = "--seconds wants a whole number of seconds from 1 to " + std::to_string(kMostSeconds) + ", not '" +
            seconds + "'";
    return OptionsResult::kError;
  }
  if (folder_option->count() > 0) {
    if (folder.empty()) {
      error = "--screenshot-dir wants a folder";
      return OptionsResult::kError;
    }
    if (!CheckWritableFolder(folder, error))
      return OptionsResult::kError;
    options.screenshot_dir = folder;
  }
  if (keys_option->count() > 0 && !ParseKeys(keys, options.keys, error))
    return OptionsResult::kError;
  for (const std::string &extra : app.remaining()) {
    error = extra.size() > 1 && extra[0] == '-' ? "unknown option '" + extra + "'"
                                                : "unexpected argument '" + extra + "'";
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
