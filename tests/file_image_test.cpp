#include "base/file_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "reliability_support.h"

namespace {

using reliability::TempDir;

void writeFile(const std::string& path, const std::string& bytes) {
  std::FILE* fp = std::fopen(path.c_str(), "wb");
  ASSERT_NE(fp, nullptr);
  if (!bytes.empty()) {
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), fp), bytes.size());
  }
  std::fclose(fp);
}

std::string readFile(const std::string& path) {
  std::string bytes;
  std::FILE* fp = std::fopen(path.c_str(), "rb");
  if (fp == nullptr) return bytes;
  for (int c; (c = std::fgetc(fp)) != EOF;)
    bytes.push_back(static_cast<char>(c));
  std::fclose(fp);
  return bytes;
}

std::string contents(const FileImage& image) {
  return std::string(reinterpret_cast<const char*>(image.data()), image.size());
}

TEST(FileImage, HoldsTheWholeFile) {
  TempDir dir("file_image_test");
  std::string bytes(10000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  writeFile(dir.file("a"), bytes);
  FileImage image;
  ASSERT_TRUE(image.open(dir.file("a").c_str()));
  EXPECT_EQ(contents(image), bytes);

  writeFile(dir.file("empty"), "");
  ASSERT_TRUE(image.open(dir.file("empty").c_str()));
  EXPECT_TRUE(image.empty());
  EXPECT_EQ(image.data(), nullptr);
}

#ifdef __linux__
// The VmFlags line of the mapping that holds `at` in /proc/self/smaps;
// empty when there is none or the file cannot be read.
std::string mappingFlags(const void* at) {
  std::FILE* fp = std::fopen("/proc/self/smaps", "r");
  if (fp == nullptr) return "";
  const auto address = reinterpret_cast<uintptr_t>(at);
  bool inside = false;
  std::string flags;
  char line[512];
  while (std::fgets(line, sizeof line, fp) != nullptr) {
    unsigned long long from, to;
    if (std::sscanf(line, "%llx-%llx ", &from, &to) == 2) {
      inside = from <= address && address < to;
    } else if (inside && std::strncmp(line, "VmFlags:", 8) == 0) {
      flags = line + 8;
      break;
    }
  }
  std::fclose(fp);
  return flags;
}

TEST(FileImage, MappingIsAdvisedForHugePages) {
  TempDir dir("file_image_test");
  writeFile(dir.file("big"), std::string(3 << 20, 'x'));
  FileImage image;
  ASSERT_TRUE(image.open(dir.file("big").c_str()));
  const std::string flags = mappingFlags(image.data());
  if (flags.empty()) GTEST_SKIP() << "no /proc/self/smaps";
  EXPECT_NE(flags.find(" hg"), std::string::npos) << flags;
  EXPECT_EQ(contents(image), std::string(3 << 20, 'x'));
}
#endif

TEST(FileImage, FailureLeavesTheImageAsItWas) {
  TempDir dir("file_image_test");
  writeFile(dir.file("a"), "abc");
  std::filesystem::create_directory(dir.file("sub"));
  FileImage image;
  ASSERT_TRUE(image.open(dir.file("a").c_str()));
  EXPECT_FALSE(image.open(nullptr));
  EXPECT_FALSE(image.open(dir.file("missing").c_str()));
  EXPECT_FALSE(image.open(dir.file("sub").c_str()));
  EXPECT_FALSE(image.open("/dev/null"));  // not a regular file
  EXPECT_EQ(contents(image), "abc");
  image.reset();
  EXPECT_TRUE(image.empty());
}

TEST(FileImage, WritesThroughTheImageStayPrivate) {
  TempDir dir("file_image_test");
  writeFile(dir.file("a"), "abcdef");
  FileImage image, other;
  ASSERT_TRUE(image.open(dir.file("a").c_str()));
  ASSERT_TRUE(other.open(dir.file("a").c_str()));
  image.data()[0] = 'X';
  EXPECT_EQ(contents(image), "Xbcdef");
  EXPECT_EQ(contents(other), "abcdef");
  EXPECT_EQ(readFile(dir.file("a")), "abcdef");
}

TEST(FileImage, SurvivesAFileRenamedOverIt) {
  TempDir dir("file_image_test");
  writeFile(dir.file("a"), std::string(9000, 'o'));
  FileImage image;
  ASSERT_TRUE(image.open(dir.file("a").c_str()));
  writeFile(dir.file("a.new"), "n");
  std::filesystem::rename(dir.file("a.new"), dir.file("a"));
  EXPECT_EQ(contents(image), std::string(9000, 'o'));
}

TEST(FileImage, MovesHandOverTheBytes) {
  TempDir dir("file_image_test");
  writeFile(dir.file("a"), "first");
  writeFile(dir.file("b"), "second");
  FileImage a, b;
  ASSERT_TRUE(a.open(dir.file("a").c_str()));
  ASSERT_TRUE(b.open(dir.file("b").c_str()));
  FileImage moved(std::move(a));
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(contents(moved), "first");
  moved = std::move(b);
  EXPECT_TRUE(b.empty());
  EXPECT_EQ(contents(moved), "second");
}

}  // namespace
