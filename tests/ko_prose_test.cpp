// The corpus extractor tools/ko_prose.py, run on small HTML trees.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string SCRIPT = std::string(TALMORO_TEST_DATA) + "/../../tools/ko_prose.py";

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) out.push_back(l);
  return out;
}

// Runs the extractor on `root`; the output lines, or {"!"} when it failed.
std::vector<std::string> extract(const std::string& root, const std::string& extra = "") {
  const std::string out = root + "/out.txt";
  const std::string cmd = "python3 '" + SCRIPT + "' '" + root + "/html' -o '" + out +
                          "' " + extra + " >/dev/null";
  if (std::system(cmd.c_str()) != 0) return {"!"};
  return lines(readAll(out));
}

std::string makeTree(const std::string& name) {
  // The process id keeps concurrent runs of the test programs apart.
  const std::string root = ::testing::TempDir() + "/" + name + "." + std::to_string(getpid());
  std::system(("rm -rf '" + root + "'").c_str());
  mkdir(root.c_str(), 0777);
  mkdir((root + "/html").c_str(), 0777);
  mkdir((root + "/html/sub").c_str(), 0777);
  return root;
}

}  // namespace

TEST(KoProse, TakesTheProseOfBlockElements) {
  if (std::system("python3 -c 1 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  const std::string root = makeTree("ko_prose_blocks");
  write(root + "/html/a.html",
        "<html><head><title>제목은 건너뜁니다 여기</title>"
        "<script>var x = '스크립트는 빼야 합니다';</script></head><body>"
        "<div class=\"navheader\"><p>이전 페이지로 갑니다</p></div>"
        "<p>첫 문장입니다. 두 번째 <b>문장</b>이에요! 세 번째&nbsp;문장&amp;끝</p>"
        "<ul><li>목록의 항목도 문장입니다</li><li>English only line here</li></ul>"
        "<p>단어</p>"
        "<p>복사하려면 <code>Ctrl+C</code> 키를 누릅니다.</p>"
        "<p>LibreOffice에서 Ctrl+C를 누릅니다.</p>"  // mostly Latin
        "</body></html>");
  const std::vector<std::string> got = extract(root);
  const std::vector<std::string> want = {
      "첫 문장입니다.", "두 번째 문장이에요!", "세 번째 문장&끝",
      "목록의 항목도 문장입니다", "복사하려면 Ctrl+C 키를 누릅니다."};
  EXPECT_EQ(got, want);
}

TEST(KoProse, DeduplicatesInPathOrderAndCapsDeterministically) {
  if (std::system("python3 -c 1 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  const std::string root = makeTree("ko_prose_cap");
  std::string body;
  for (int i = 0; i < 40; ++i)
    body += "<p>문장 번호 " + std::to_string(i) + " 입니다</p>";
  write(root + "/html/b.html", "<html><body>" + body + "</body></html>");
  write(root + "/html/sub/a.html",
        "<html><body><p>먼저 읽히는 문장입니다</p><p>문장 번호 3 입니다</p></body></html>");
  const std::vector<std::string> all = extract(root);
  ASSERT_EQ(all.size(), 41u);
  // Files in path order ("b.html" before "sub/a.html"), each line once.
  EXPECT_EQ(all[0], "문장 번호 0 입니다");
  EXPECT_EQ(all[40], "먼저 읽히는 문장입니다");

  const std::vector<std::string> capped = extract(root, "--max-chars 100");
  size_t chars = 0;
  for (const std::string& l : capped) {
    for (unsigned char c : l)
      if ((c & 0xC0) != 0x80) ++chars;  // code points
  }
  EXPECT_LE(chars, 100u);
  EXPECT_GT(capped.size(), 3u);
  EXPECT_LT(capped.size(), all.size());
  // The same lines again, and in the order they were found.
  EXPECT_EQ(extract(root, "--max-chars 100"), capped);
  size_t last = 0;
  for (const std::string& l : capped) {
    size_t at = 0;
    while (at < all.size() && all[at] != l) ++at;
    ASSERT_LT(at, all.size()) << l;
    EXPECT_GE(at, last);
    last = at;
  }
}
