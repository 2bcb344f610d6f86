// The check's view of the last transmission, and one history record per transmission.
#include "training/check_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "base/error.h"
#include "tests/platform/system.h"
#include "training/progress.h"

namespace kelvak {
namespace {

TEST(CheckSourceFor, TakesTheSentTextAndNamesAFileByItsNameAlone) {
  SentText last;
  last.symbols = {1, 2, 3, 4, 5, 6};  // six characters: two groups, the last one partial
  last.number = 4;
  last.sound = {15, 1, 700, 0, 64};
  last.fromFile = true;
  last.filePath = "/home/learner/уроки/урок 1.txt";
  const CheckSource s = checkSourceFor(last, true);
  EXPECT_EQ(s.sent.size(), 6u);
  EXPECT_EQ(s.number, 4u);
  EXPECT_TRUE(s.running);
  EXPECT_EQ(s.settings.source, TextSource::File);
  EXPECT_EQ(s.settings.file, "урок 1.txt");
  EXPECT_EQ(s.settings.groups, 2);
  EXPECT_EQ(s.settings.noise, 49);  // as the noise slider's label shows position 64
  last.fromFile = false;
  last.sound.textKind = 7;  // a kind out of range counts as the mixture, the last one
  EXPECT_EQ(checkSourceFor(last, false).settings.source, TextSource::Mixture);
}

TEST(CheckRecorder, RecordsTheFirstCheckOfATransmissionAndRetriesAFailedOne) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("kelvak_recorder_" + std::to_string(getpid()) + ".jsonl");
  std::filesystem::remove(path);
  const CheckResult result = checkCopy(U"12345", U"12345");
  CheckSource source;
  source.sent = U"12345";

  // A folder that is a regular file can hold no history.
  const History unwritable(test_platform::systemRegularFile() + "/history.jsonl");
  CheckRecorder failing(unwritable);
  source.number = 1;
  EXPECT_THROW(failing.record(result, source, 0), KelvakError);
  EXPECT_THROW(failing.record(result, source, 0), KelvakError) << "a failed record is tried again";

  const History history(path.string());
  CheckRecorder recorder(history);
  EXPECT_TRUE(recorder.record(result, source, 0));
  EXPECT_FALSE(recorder.record(result, source, 1));
  source.number = 2;
  EXPECT_TRUE(recorder.record(result, source, 2));
  {
    // Kept while another copy writes: recorded once, and written when the lock is free.
    const std::shared_ptr<void> held = test_platform::holdHistoryLock(path.string());
    ASSERT_TRUE(held);
    source.number = 3;
    EXPECT_THROW(recorder.record(result, source, 3), HistoryBusyError);
    EXPECT_FALSE(recorder.record(result, source, 4));
  }
  history.appendPending();
  EXPECT_EQ(history.load().records.size(), 3u);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace kelvak
