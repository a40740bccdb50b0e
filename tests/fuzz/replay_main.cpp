// Runs every file of one fuzz target's corpus through the target's entry point. A crash, a
// sanitizer report or a hang in any of them fails the suite; the target checks its own
// invariants and aborts when one breaks.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(FuzzCorpus, EveryFileReplaysCleanly) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(AURALITH_FUZZ_CORPUS)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << "no corpus in " << AURALITH_FUZZ_CORPUS;
  for (const auto& path : files) {
    SCOPED_TRACE(path.string());
    const Bytes bytes = ReadFileBytes(path.string());
    EXPECT_EQ(0, LLVMFuzzerTestOneInput(bytes.data(), bytes.size()));
  }
}
