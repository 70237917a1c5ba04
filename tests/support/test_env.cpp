// test_env.cpp: scratch files shared by the tests of both front ends.
#include "support/test_env.h"

#include <cstdio>
#include <fstream>
#include <sstream>

bool WriteTextFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

std::string ReadTextFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}
