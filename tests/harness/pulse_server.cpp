// A private sound server: start PulseAudio, or PipeWire with its helpers, in a temporary folder,
// wait for its socket, stop and clean up.
#include "tests/harness/pulse_server.h"

#include <sched.h>
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

const char* serverName(ServerKind kind) {
  return kind == ServerKind::PipeWire ? "PipeWire" : "PulseAudio";
}

PulseServer::PulseServer(SinkFormat sink, ServerKind kind, int graphRate)
    : sink_(std::move(sink)), kind_(kind), graphRate_(graphRate) {}

PulseServer::~PulseServer() { stop(); }

bool PulseServer::start(std::string* error) {
  char pattern[] = "/tmp/kelvak-pulse-XXXXXX";
  if (!mkdtemp(pattern)) {
    if (error) *error = "mkdtemp failed";
    return false;
  }
  folder_ = pattern;
  namespace fs = std::filesystem;
  for (const char* sub : {"runtime", "config", "state", "data"}) {
    fs::create_directory(folder_ + "/" + sub);
  }
  fs::permissions(folder_ + "/runtime", fs::perms::owner_all, fs::perm_options::replace);

  // Everything the server would look up in the user's home points into the folder instead.
  const char* path = getenv("PATH");
  env_ = {
      "PATH=" + std::string(path ? path : "/usr/bin:/bin"),
      "HOME=" + folder_,
      "XDG_RUNTIME_DIR=" + folder_ + "/runtime",
      "XDG_CONFIG_HOME=" + folder_ + "/config",
      "XDG_STATE_HOME=" + folder_ + "/state",
      "XDG_DATA_HOME=" + folder_ + "/data",
  };
  const bool started =
      kind_ == ServerKind::PipeWire ? startPipeWire(error) : startPulseAudio(error);
  if (!started) {
    stop();
    return false;
  }
  raiseThreads();
  return true;
}

// Both servers give their sound threads a real-time priority themselves, as on a desktop, but
// leave the threads that carry the clients' streams (PulseAudio's main loop, pipewire-pulse's)
// to the ordinary scheduler. Under three busy loops and two builds those were held for hundreds
// of milliseconds: the sink played silence for every stream and the recorder lost samples, faults
// of the server that no program can ride over. Where the system allows it they get the lowest
// real-time priority, below the sound threads, the recorder's and the program's feeding thread.
// The program under test keeps what it asks for itself.
void PulseServer::raiseThreads() const {
  const sched_param lowest{1};
  for (const auto& process : processes_) {
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(process->pid()) + "/task",
                                             error)) {
      const auto tid = static_cast<pid_t>(std::stol(task.path().filename().string()));
      if (::sched_getscheduler(tid) == SCHED_OTHER) ::sched_setscheduler(tid, SCHED_RR, &lowest);
    }
  }
}

bool PulseServer::startPulseAudio(std::string* error) {
  socket_ = folder_ + "/native";
  env_.push_back("PULSE_RUNTIME_PATH=" + folder_ + "/runtime");
  env_.push_back("PULSE_STATE_PATH=" + folder_ + "/state");
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
  processes_.push_back(std::make_unique<ChildProcess>());
  // A sound server runs as a service of its own, apart from the programs that use it.
  if (!protocol().start(argv, env_, false, folder_ + "/server.log", error, true)) return false;
  return waitForSocket(error);
}

// PipeWire as a desktop runs it: the daemon, WirePlumber and the PulseAudio service, on a session
// bus of their own, each with Debian's default configuration; then the null sink, made the
// default, through the PulseAudio service.
bool PulseServer::startPipeWire(std::string* error) {
  socket_ = folder_ + "/runtime/pulse/native";
  const std::string bus = folder_ + "/bus";
  env_.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + bus);
  env_.push_back("PIPEWIRE_RUNTIME_DIR=" + folder_ + "/runtime");
  const std::vector<std::vector<std::string>> programs = {
      {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=unix:path=" + bus},
      {"pipewire"},
      {"wireplumber"},
      {"pipewire-pulse"},
  };
  for (const auto& argv : programs) {
    processes_.push_back(std::make_unique<ChildProcess>());
    const std::string log = folder_ + "/" + argv[0] + ".log";
    if (!processes_.back()->start(argv, env_, false, log, error, true)) return false;
    // Each needs the one before it: the bus, then the daemon's socket.
    const std::string needed = argv[0] == "dbus-daemon" ? bus
                               : argv[0] == "pipewire"  ? folder_ + "/runtime/pipewire-0"
                                                        : std::string();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!needed.empty() && !acceptsClients(needed)) {
      if (!processes_.back()->running() || std::chrono::steady_clock::now() >= until) {
        if (error) *error = argv[0] + " did not come up:\n" + readAll(log);
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (!waitForSocket(error)) return false;
  if (graphRate_ > 0 && !forceGraphRate(graphRate_, error)) return false;
  if (!runTool(
          {"pactl", "load-module", "module-null-sink", "sink_name=kelvak", "format=" + sink_.format,
           "rate=" + std::to_string(sink_.rate), "channels=" + std::to_string(sink_.channels)},
          error)) {
    return false;
  }
  // The sink is announced a moment after the module has loaded, and while the session manager
  // settles, a new stream may still fail with "Input/output error": ready is when one has played.
  for (int attempt = 0;; ++attempt) {
    if (runTool({"pactl", "set-default-sink", "kelvak"}, error) &&
        runTool({"pacat", "--raw", "--format=u8", "--rate=11025", "--channels=1", "/dev/null"},
                error)) {
      return true;
    }
    if (attempt == 100) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool PulseServer::waitForSocket(std::string* error) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!acceptsClients(socket_)) {
    if (!protocol().running() || std::chrono::steady_clock::now() >= until) {
      if (error) {
        *error = std::string(serverName(kind_)) + " did not come up:\n";
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
          if (entry.path().extension() == ".log") *error += readAll(entry.path().string());
        }
      }
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool PulseServer::runTool(const std::vector<std::string>& argv, std::string* error) {
  std::vector<std::string> env = env_;
  env.push_back("PULSE_SERVER=" + address());
  ChildProcess tool;
  const std::string log = folder_ + "/tool.log";
  if (!tool.start(argv, env, true, log, error)) return false;  // what it prints is not ours
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (tool.running()) {
    if (std::chrono::steady_clock::now() >= until) {
      if (error) *error = argv[0] + " did not finish:\n" + readAll(log);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (tool.exitStatus() != 0) {
    if (error) *error = argv[0] + " " + argv[1] + " failed:\n" + readAll(log);
    return false;
  }
  return true;
}

bool PulseServer::forceGraphRate(int rate, std::string* error) {
  if (kind_ != ServerKind::PipeWire) {
    if (error) *error = "only PipeWire has a graph rate";
    return false;
  }
  return runTool({"pw-metadata", "-n", "settings", "0", "clock.force-rate", std::to_string(rate)},
                 error);
}

void PulseServer::freeze() {
  for (auto& p : processes_) p->signal(SIGSTOP);
}

void PulseServer::thaw() {
  for (auto& p : processes_) p->signal(SIGCONT);
}

void PulseServer::kill() {
  for (auto p = processes_.rbegin(); p != processes_.rend(); ++p) (*p)->signal(SIGKILL);
  for (auto p = processes_.rbegin(); p != processes_.rend(); ++p) (*p)->stop();
}

void PulseServer::stop() {
  thaw();
  for (auto p = processes_.rbegin(); p != processes_.rend(); ++p) (*p)->stop();
  processes_.clear();
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
