// A fresh directory per test for the file tests (ctest runs tests side by side), with plain C++
// access to the files so that what the driver's code wrote is checked by other means.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

class FileFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "qzstreamXXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    char resolved[4096];
    ASSERT_NE(::realpath(pattern.c_str(), resolved), nullptr);
    m_directory = resolved;
  }
  void TearDown() override { std::system(("rm -rf '" + m_directory + "'").c_str()); }

  std::string Path(const std::string& name) const { return m_directory + "/" + name; }
  std::u16string WidePath(const std::string& name) const {
    const std::string path = Path(name);
    return std::u16string(path.begin(), path.end());
  }
  void Put(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }
  bool Exists(const std::string& name) const {
    struct stat info {};
    return ::stat(Path(name).c_str(), &info) == 0;
  }

  std::string m_directory;
};
