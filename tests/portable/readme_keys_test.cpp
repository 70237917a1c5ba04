// readme_keys_test.cpp: the key table of README.md, which the demo and the Windows README print, against the program:
// every key it names presses the button it says, every mapped key is in it, and each page's column names the label
// that button shows on that page. A table that drifts from the program teaches the pilot the wrong buttons.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/shell.h"
#include "base/wide_text.h"
#include "frontend/portable/options.h"
#include "mfd/page_table.h"
#include "platform/utf8.h"
#include "support/shell_fixture.h"
#include "support/test_env.h"

namespace {

std::string Trim(const std::string &text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Split(const std::string &text, const std::string &separator) {
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(Trim(text.substr(start, end - start)));
    if (end == std::string::npos)
      return parts;
    start = end + separator.size();
  }
}

// The rows of the table between the keys markers, each split into its cells.
std::vector<std::vector<std::string>> KeyTable() {
  const std::string readme = ReadTextFile(std::string(KESTREL_SOURCE_DIR) + "/README.md");
  const size_t begin = readme.find("<!-- keys:begin -->"), end = readme.find("<!-- keys:end -->");
  std::vector<std::vector<std::string>> rows;
  if (begin == std::string::npos || end == std::string::npos)
    return rows;
  std::istringstream lines(readme.substr(begin, end - begin));
  std::string line;
  std::getline(lines, line); // the marker
  while (std::getline(lines, line)) {
    if (line.size() < 2 || line.front() != '|')
      continue;
    std::vector<std::string> cells = Split(line.substr(1, line.size() - 2), "|");
    if (cells[0] != "Button" && cells[0].find("---") == std::string::npos)
      rows.push_back(cells);
  }
  return rows;
}

// What the pilot reads on the display: the label without its line break and surrounding blanks.
std::string ShownLabel(int page, int button) {
  std::string label = WideToUtf8(PageLabel(page, button));
  if (!label.empty() && label[0] == '\n')
    label.erase(0, 1);
  return Trim(label);
}

class ReadmeKeys : public ShellTest {};

TEST_F(ReadmeKeys, TableMatchesTheKeysAndTheLabels) {
  const std::vector<std::vector<std::string>> rows = KeyTable();
  ASSERT_EQ(rows.size(), 22u) << "buttons 1 to 20, 23 and 24";
  std::set<int> documented;
  for (const std::vector<std::string> &row : rows) {
    ASSERT_EQ(row.size(), 2u + kPageCount) << row[0];
    const int button = std::stoi(row[0]);
    for (const std::string &key : Split(row[1], ",")) {
      const int virtual_key = KeyByName(key);
      ASSERT_TRUE(KeyToButton(virtual_key)) << key;
      EXPECT_EQ(g_shell.pending_press, button) << key;
      documented.insert(virtual_key);
    }
    for (int page = 0; page < kPageCount; ++page) {
      // "LABEL: what it does", or two labels the button alternates between, "FIRST / SECOND: ...".
      const std::string label = Split(Split(row[2 + page], ": ")[0], " / ")[0];
      EXPECT_EQ(label, ShownLabel(page, button)) << "button " << button << ", page " << page;
    }
  }
  for (int virtual_key = 1; virtual_key < 256; ++virtual_key) {
    if (KeyToButton(virtual_key)) {
      EXPECT_EQ(documented.count(virtual_key), 1u) << "key 0x" << std::hex << virtual_key << " is not in the table";
    }
  }
}

} // namespace
