// files_test.cpp: the files a setting names are read only when they are regular files: a folder gives nothing, a
// device never ends and a pipe waits for a writer, each of which would hang or mislead the reader.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "platform/utf8.h"
#include "support/test_env.h"

namespace {

TEST(FilesTest, OnlyRegularFilesOpenAndTheOthersSayWhy) {
  const std::string folder = MakeScratchFolder();
  ASSERT_EQ(::mkfifo((folder + "/pipe").c_str(), 0600), 0);
  ASSERT_TRUE(WriteTextFile(folder + "/peers.txt", "[1]127.0.0.1:10320\n"));
  const struct {
    std::string path, why;
  } cases[] = {
      {folder, "a folder, not a file"},         {"/dev/zero", "not a regular file"},
      {folder + "/pipe", "not a regular file"}, {folder + "/absent.txt", "missing"},
      {folder + "/peers.txt/below", "missing"}, {"", "missing (no path)"},
  };
  for (const auto &c : cases) {
    std::string why;
    EXPECT_EQ(OpenFileRead(Utf8ToWide(c.path).c_str(), &why), nullptr) << c.path;
    EXPECT_EQ(why, c.why) << c.path;
  }
  FILE *file = OpenBinaryFileRead(Utf8ToWide(folder + "/peers.txt").c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(OpenFileSize(file), 19u);
  std::fclose(file);
}

} // namespace
