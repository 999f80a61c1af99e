#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "support/engine_context.h"
#include "support/status.h"
#include "tarnwick/version.h"

namespace tw {
namespace {

// Records every call the status object makes.
class RecordingSink : public ProgressSink {
 public:
  struct Log {
    std::vector<std::string> calls;
    int pumps = 0;
    bool cancelled = false;
  };
  explicit RecordingSink(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  int32_t open(int32_t owner, int style, std::string_view caption) override {
    log_->calls.push_back("open " + std::to_string(owner) + " " + std::to_string(style) + " " +
                          std::string(caption));
    return ++handles_;
  }
  void setInfo(int32_t h, std::string_view text) override {
    log_->calls.push_back("info " + std::to_string(h) + " " + std::string(text));
  }
  void setProgress(int32_t h, int16_t pos) override {
    log_->calls.push_back("progress " + std::to_string(h) + " " + std::to_string(pos));
  }
  bool isCancelled(int32_t h) override {
    log_->calls.push_back("cancelled? " + std::to_string(h));
    return log_->cancelled;
  }
  void close(int32_t h) override { log_->calls.push_back("close " + std::to_string(h)); }
  void pump() override { ++log_->pumps; }

 private:
  std::shared_ptr<Log> log_;
  int32_t handles_ = 0;
};

class StatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetEngine();
    status_ = &engine().status();
    status_->setSink(std::make_unique<RecordingSink>(log_));
  }
  void TearDown() override { resetEngine(); }
  std::shared_ptr<RecordingSink::Log> log_ = std::make_shared<RecordingSink::Log>();
  AGPStatus* status_ = nullptr;
};

TEST_F(StatusTest, WithoutAWindowStatusCallsOnlyLetPendingWorkRun) {
  status_->DispStatus("Please wait...");
  status_->SetStatus(Variant(50));
  EXPECT_TRUE(log_->calls.empty());
  EXPECT_EQ(log_->pumps, 2);
}

TEST_F(StatusTest, AnOpenWindowReceivesCaptionStatusAndPosition) {
  std::string caption = "Tarnwick - Loading Project File...";
  // Callers hand the caption over length-prefixed; the window shows the text.
  status_->ShowStatus(77, std::string(1, static_cast<char>(caption.size())) + caption);
  status_->DispStatus("Table: orders");
  status_->SetStatus(Variant("42"));
  EXPECT_EQ(engine().statusCaption, caption);
  EXPECT_EQ(log_->calls,
            (std::vector<std::string>{"open 77 1 " + caption, "info 1 Table: orders", "progress 1 42"}));
  EXPECT_EQ(log_->pumps, 2);
}

TEST_F(StatusTest, EachShowStatusOpensItsStyleWithoutClosingTheEarlierWindow) {
  status_->ShowStatus2(0, "two");
  status_->ShowStatus3(0, "three");
  EXPECT_EQ(log_->calls, (std::vector<std::string>{"open 0 2 two", "open 0 3 three"}));
  EXPECT_EQ(status_->handle(), 2);
}

TEST_F(StatusTest, CloseStatusTwiceClosesOnce) {
  status_->ShowStatus(0, "x");
  status_->CloseStatus();
  status_->CloseStatus();
  EXPECT_EQ(log_->calls.back(), "close 1");
  EXPECT_EQ(std::count(log_->calls.begin(), log_->calls.end(), "close 1"), 1);
  EXPECT_EQ(status_->handle(), 0);
}

TEST_F(StatusTest, CancellationIsAskedEvenWithoutAWindow) {
  log_->cancelled = true;
  EXPECT_TRUE(status_->StatusIsCancelled());
  EXPECT_EQ(log_->calls.back(), "cancelled? 0");
}

TEST_F(StatusTest, GetVerReportsTheEngineVersionForTheEngineFileOnly) {
  status_->GetVer("tarnwick.dll");
  EXPECT_EQ(status_->mj1(), TARNWICK_VERSION_MAJOR);
  EXPECT_EQ(status_->mn2(), TARNWICK_VERSION_TWEAK);
  std::string composed = std::to_string(status_->mj1()) + "." + std::to_string(status_->mj2()) + "." +
                         std::to_string(status_->mn1()) + "." + std::to_string(status_->mn2());
  EXPECT_EQ(composed, TARNWICK_VERSION);
  status_->GetVer("/usr/lib/other.dll");
  EXPECT_EQ(status_->mj1() + status_->mj2() + status_->mn1() + status_->mn2(), 0);
}

TEST_F(StatusTest, GetSysCodeUsesATwoCharacterCodeAndStopsAtNul) {
  EXPECT_EQ(status_->GetSysCode("QQ"), "");
  setSystemCode("VB", std::string("Function A()\0ignored", 20));
  EXPECT_EQ(status_->GetSysCode("VB"), "Function A()");
  // Longer names are cut to two characters, shorter ones padded with a blank.
  EXPECT_EQ(status_->GetSysCode("VBScript"), "Function A()");
  setSystemCode("V", "short");
  EXPECT_EQ(status_->GetSysCode("V "), "short");
}

TEST(TerminalProgress, InterruptWhileAWindowIsOpenCancelsInsteadOfEnding) {
  TerminalProgressSink sink;
  int32_t h = sink.open(0, 1, "Generating");
  EXPECT_FALSE(sink.isCancelled(h));
  std::raise(SIGINT);
  EXPECT_TRUE(sink.isCancelled(h));
  sink.close(h);
  // The next window starts uncancelled.
  h = sink.open(0, 1, "again");
  EXPECT_FALSE(sink.isCancelled(h));
  sink.close(h);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(StatusTest, TheKeptCaptionCanBeShownAgain) {
  status_->ShowStatus2(0, "Tarnwick - Loading Custom View...");
  status_->ShowStatus2(0, engine().statusCaption);
  EXPECT_EQ(log_->calls.back(), "open 0 2 Tarnwick - Loading Custom View...");
  EXPECT_EQ(engine().statusCaption, "Tarnwick - Loading Custom View...");
}

}  // namespace
}  // namespace tw
