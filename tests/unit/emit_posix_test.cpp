#include "protocol/emit.h"

#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/output.h"

namespace quennet {
namespace {

// Points standard output somewhere else for the life of the object.
class RedirectedStdout {
 public:
  explicit RedirectedStdout(int target) : saved_(dup(STDOUT_FILENO)) { dup2(target, STDOUT_FILENO); }
  ~RedirectedStdout() {
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

std::string drain(int fd) {
  std::string bytes;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<std::size_t>(n));
  return bytes;
}

TEST(RecordSink, WritesEachRecordWholeAsOneLineEndedByALineFeedAlone) {
  FILE* file = tmpfile();
  ASSERT_NE(file, nullptr);
  {
    RedirectedStdout redirect(fileno(file));
    emit(Done{});
    emit(Error{ErrorCode::Unknown, std::string(200000, 'x'), std::nullopt});
  }
  lseek(fileno(file), 0, SEEK_SET);
  const std::string out = drain(fileno(file));
  fclose(file);
  const std::string error_line = R"({"type":"error","code":"unknown","message":")" +
                                 std::string(200000, 'x') + R"(","workshopId":null})" + "\n";
  EXPECT_EQ(out, "{\"type\":\"done\"}\n" + error_line);
}

TEST(RecordSink, AFailedWriteIsIgnored) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  close(pipe_fds[0]);  // nobody reads: writes fail with EPIPE (the test runner ignores SIGPIPE below)
  signal(SIGPIPE, SIG_IGN);
  {
    RedirectedStdout redirect(pipe_fds[1]);
    EXPECT_FALSE(platform::write_stdout("lost\n"));
    emit(Done{});  // must return normally
  }
  close(pipe_fds[1]);

  const int saved = dup(STDOUT_FILENO);
  close(STDOUT_FILENO);
  EXPECT_FALSE(platform::write_stdout("lost\n"));
  emit(Done{});
  dup2(saved, STDOUT_FILENO);
  close(saved);
}

TEST(EmitDeathTest, ARecordWithInvalidUtf8IsAnInternalError) {
  EXPECT_EXIT(emit(Ready{1, "\xFF"}), testing::ExitedWithCode(1), "event serialisation");
}

}  // namespace
}  // namespace quennet
