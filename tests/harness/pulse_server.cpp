// A private PulseAudio server: start in a temporary folder, wait for its socket, stop and clean up.
#include "tests/harness/pulse_server.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace kelvak::testing {

namespace {

bool acceptsClients(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
  close(fd);
  return ok;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

PulseServer::PulseServer(SinkFormat sink) : sink_(std::move(sink)) {}

PulseServer::~PulseServer() { stop(); }

bool PulseServer::start(std::string* error) {
  char pattern[] = "/tmp/kelvak-pulse-XXXXXX";
  if (!mkdtemp(pattern)) {
    if (error) *error = "mkdtemp failed";
    return false;
  }
  folder_ = pattern;
  namespace fs = std::filesystem;
  for (const char* sub : {"runtime", "config", "state"}) fs::create_directory(folder_ + "/" + sub);
  fs::permissions(folder_ + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
  socket_ = folder_ + "/native";

  // Everything the server would look up in the user's home points into the folder instead.
  const char* path = getenv("PATH");
  const std::vector<std::string> env = {
      "PATH=" + std::string(path ? path : "/usr/bin:/bin"),
      "HOME=" + folder_,
      "XDG_RUNTIME_DIR=" + folder_ + "/runtime",
      "XDG_CONFIG_HOME=" + folder_ + "/config",
      "XDG_STATE_HOME=" + folder_ + "/state",
      "PULSE_RUNTIME_PATH=" + folder_ + "/runtime",
      "PULSE_STATE_PATH=" + folder_ + "/state",
  };
  // -n: no default script, only the two modules named here. norewinds: the null sink otherwise
  // renders up to two seconds ahead while idle and leaves a new stream waiting that long.
  const std::string sinkArgs =
      "module-null-sink sink_name=kelvak norewinds=1 format=" + sink_.format +
      " rate=" + std::to_string(sink_.rate) + " channels=" + std::to_string(sink_.channels);
  const std::vector<std::string> argv = {
      "pulseaudio",
      "--daemonize=no",
      "--system=false",
      "-n",
      "--exit-idle-time=-1",
      "--use-pid-file=no",
      "--disallow-exit=yes",
      "--log-target=stderr",
      "-L",
      "module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1",
      "-L",
      sinkArgs,
  };
  const std::string log = folder_ + "/server.log";
  // A sound server runs as a service of its own, apart from the programs that use it.
  if (!process_.start(argv, env, false, log, error, true)) return false;

  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!acceptsClients(socket_)) {
    if (!process_.running() || std::chrono::steady_clock::now() >= until) {
      if (error) *error = "pulseaudio did not come up:\n" + readAll(log);
      stop();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void PulseServer::kill() {
  process_.signal(SIGKILL);
  process_.stop();
}

void PulseServer::stop() {
  process_.stop();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    folder_.clear();
  }
}

void PulseServer::useForThisProcess() const {
  setenv("PULSE_SERVER", address().c_str(), 1);
  setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
  // Keeps libpulse from spawning or looking for a user's own server.
  setenv("PULSE_CLIENTCONFIG", "/dev/null", 1);
}

}  // namespace kelvak::testing
