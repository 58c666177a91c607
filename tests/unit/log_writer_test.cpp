// The event log's lines through a full disk: dropped and counted, reported once, the
// loss told in the log when writing works again; a broken log is still an error.
#include "server/log/log_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

using kesto::platform::AppendResult;
using kesto::server::LogLevel;
using kesto::server::LogLineWriter;

namespace {

// A log file on a disk that the test fills and empties.
class FakeDisk : public ::testing::Test {
  protected:
    LogLineWriter writer_{[this](std::string_view line) { return append(line); },
                          [this](const std::string& message) { alerts_.push_back(message); }};
    std::string file_;
    std::vector<std::string> alerts_;
    int error_ = 0;         // what the next writes fail with; 0: they succeed
    std::size_t room_ = 0;  // bytes that still fit before the failure
    std::tm time_ = [] {
        std::tm t{};
        t.tm_mday = 1;
        t.tm_year = 126;
        return t;
    }();

    int write(std::string_view text) { return writer_.write(LogLevel::informational, time_, text); }

  private:
    AppendResult append(std::string_view line) {
        if (error_ == 0) {
            file_ += line;
            return {line.size(), 0};
        }
        const std::size_t fits = std::min(room_, line.size());
        file_ += line.substr(0, fits);
        room_ -= fits;
        return {fits, error_};
    }
};

}  // namespace

TEST_F(FakeDisk, FullDiskDropsLinesReportsOnceAndCountsTheLoss) {
    EXPECT_EQ(write("before"), 0);
    error_ = ENOSPC;
    for (const char* text : {"a", "b", "c"}) EXPECT_EQ(write(text), 0);
    error_ = EDQUOT;  // a full quota is the same
    EXPECT_EQ(write("d"), 0);
    EXPECT_EQ(alerts_.size(), 1u);
    error_ = 0;
    EXPECT_EQ(write("after"), 0);
    EXPECT_EQ(file_,
              "  01/01/26  00:00:00  before\r\n"
              "! 01/01/26  00:00:00  4 log lines were lost while the disk was full.\r\n"
              "  01/01/26  00:00:00  after\r\n");
    // A later spell is reported again, and counted from zero.
    error_ = ENOSPC;
    EXPECT_EQ(write("e"), 0);
    error_ = 0;
    EXPECT_EQ(write("f"), 0);
    EXPECT_EQ(alerts_.size(), 2u);
    EXPECT_NE(file_.find("  1 log lines were lost"), std::string::npos);
}

TEST_F(FakeDisk, ALineCutByTheFullDiskDoesNotSwallowTheReport) {
    error_ = ENOSPC;
    room_ = 5;
    EXPECT_EQ(write("cut short"), 0);
    EXPECT_EQ(write("dropped"), 0);
    error_ = 0;
    EXPECT_EQ(write("after"), 0);
    EXPECT_EQ(file_,
              "  01/\r\n"
              "! 01/01/26  00:00:00  2 log lines were lost while the disk was full.\r\n"
              "  01/01/26  00:00:00  after\r\n");
}

TEST_F(FakeDisk, ReportThatDoesNotFitCountsTheLineItCameWith) {
    error_ = ENOSPC;
    EXPECT_EQ(write("a"), 0);
    EXPECT_EQ(write("b"), 0);  // the report of "a" fails first; "b" is lost too
    error_ = 0;
    EXPECT_EQ(write("c"), 0);
    EXPECT_EQ(file_,
              "! 01/01/26  00:00:00  2 log lines were lost while the disk was full.\r\n"
              "  01/01/26  00:00:00  c\r\n");
    EXPECT_EQ(alerts_.size(), 1u);
}

TEST_F(FakeDisk, OtherErrorsAreABrokenLog) {
    for (const int error : {EIO, EBADF, EFBIG}) {
        error_ = error;
        EXPECT_EQ(write("x"), 1) << error;
    }
    EXPECT_TRUE(alerts_.empty());
    // Also while lines of a full disk are still to be told.
    error_ = ENOSPC;
    EXPECT_EQ(write("lost"), 0);
    error_ = EIO;
    EXPECT_EQ(write("x"), 1);
}
