// The one fixture of the real-sound tests: a private sound server of each kind with a recorder on
// its sink, and the rule for a recording that lost samples.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/harness/monitor_recorder.h"
#include "tests/harness/pulse_server.h"

namespace kelvak::testing {

// A row of the sound tests' tables: which server, and the rate its graph is forced to (PipeWire
// only; 0: its own, 48 kHz, so that it resamples the program's 11025 Hz as on a desktop).
struct ServerSetup {
  ServerKind kind;
  int graphRate = 0;
  const char* name;
};

inline const ServerSetup kPulseAudio{ServerKind::PulseAudio, 0, "PulseAudio"};
inline const ServerSetup kPipeWire{ServerKind::PipeWire, 0, "PipeWire"};
inline const ServerSetup kPipeWireAtOurRate{ServerKind::PipeWire, 11025, "PipeWireAt11025"};

inline void PrintTo(const ServerSetup& setup, std::ostream* out) { *out << setup.name; }

inline std::string serverRowName(const ::testing::TestParamInfo<ServerSetup>& info) {
  return info.param.name;
}

class ServerTest : public ::testing::TestWithParam<ServerSetup> {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(startServer()); }
  void TearDown() override {
    if (recorder_) recorder_->stop();
    if (server_) server_->stop();
  }

  PulseServer& server() { return *server_; }
  MonitorRecorder& recorder() { return *recorder_; }

  // Runs `attempt`, which plays and stops the recorder, and returns what it found. A recording
  // that lost samples says nothing about the program: the attempt runs once more on a fresh
  // server, and a second loss fails the test as the harness's own fault.
  template <class Attempt>
  auto recorded(Attempt attempt) -> decltype(attempt()) {
    for (int round = 1;; ++round) {
      auto found = attempt();
      recorder_->stop();
      const std::string lost = recorder_->lossReport();
      if (lost.empty()) return found;
      if (round == 2) {
        ADD_FAILURE() << lost << " (twice in a row)";
        return found;
      }
      std::printf("%s; once more on a fresh server\n", lost.c_str());
      TearDown();
      startServer();
    }
  }

 private:
  void startServer() {
    server_ = std::make_unique<PulseServer>(SinkFormat{}, GetParam().kind, GetParam().graphRate);
    std::string error;
    ASSERT_TRUE(server_->start(&error)) << error;
    server_->useForThisProcess();
    recorder_ = std::make_unique<MonitorRecorder>(*server_);
    ASSERT_TRUE(recorder_->start(&error)) << error;
  }

  std::unique_ptr<PulseServer> server_;
  std::unique_ptr<MonitorRecorder> recorder_;
};

}  // namespace kelvak::testing
