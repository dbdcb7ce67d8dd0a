// The command line's own options, each on real files through the real
// program: --list, --test, --json, -C and --no-clobber.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/program.h"

using namespace testing_support;

namespace {

// A PCX header of a 16x8 image, 8 bits per pixel, one plane, run-length
// encoded, then `rest`.
std::string Pcx(const std::string& rest) {
  std::string h(128, '\0');
  h[0] = 0x0A, h[1] = 5, h[2] = 1, h[3] = 8, h[8] = 15, h[10] = 7, h[65] = 1;
  return h + rest;
}

// A container of a PCX image and a CP932 text of two lines.
const std::string kText = "\x93\xfa\x96\x7b\r\nline 2\n";  // 日本
const std::string kFont = Header(64, 130, 194, 13) + Pcx("ab") + kText;

const char kSplitDone[] = "Information: The split is complete.\n";

TEST(Options, ListShowsEachContainerAndWritesNothing) {
  TempDir dir;
  WriteFile(dir / "good.fnt", kFont);
  // A member over the header, one past the end, and 4 bytes between them.
  WriteFile(dir / "odd.fnt", Header(40, 100, 144, 200) + std::string(180, 'x'));
  WriteFile(dir / "none.fnt", "ElecbyteFnt");
  // A UTF-8 text whose last character straddles two pieces of reading.
  const std::string wide = std::string((1 << 20) - 1, 'a') + "日";
  WriteFile(dir / "wide.FNT", Header(64, 0, 64, wide.size()) + wide);
  Result r = RunCli(dir.path(), {"-l", "good.fnt", "odd.fnt", "gone.fnt", "none.fnt", "wide.FNT"});
  EXPECT_EQ(r.status, 1);  // not every file is a container
  EXPECT_EQ(r.out.substr(0, r.out.find("\n\n") + 1),
            "good.fnt: font container, size 207\n"
            "  image member -> good.pcx\n"
            "    offset 64, length 130\n"
            "    PCX: 16 x 8 pixels, bits per pixel: 8, planes: 1, version 5, "
            "run-length encoded\n"
            "  text member -> good.txt\n"
            "    offset 194, length 13\n"
            "    lines: 2, CP932\n");
  for (const char* line :
       {"  image member -> odd.pcx\n    offset 40, length 100\n    no PCX header\n",
        "  text member -> odd.txt\n    offset 144, length 200, past the end of "
        "the file: 100 (a split writes zeros)\n    lines: 1, ASCII\n",
        "  bytes that no member covers: 4\n"
        "  problem: the text member runs past the end of the file\n"
        "  problem: the image member overlaps the header\n",
        "\nnone.fnt: not a font container: the header is shorter than its member table\n",
        "  image member -> wide.pcx", "    lines: 1, UTF-8\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  EXPECT_EQ(r.err, "tarnvell: gone.fnt: opening: No such file or directory\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"good.fnt", "none.fnt", "odd.fnt", "wide.FNT"}));
  EXPECT_EQ(RunCli(dir.path(), {"--list", "good.fnt"}).status, 0);
}

TEST(Options, TestGivesOneLinePerFileAndItsStatus) {
  TempDir dir;
  WriteFile(dir / "good.fnt", kFont);
  WriteFile(dir / "bad.fnt", "not a container at all, but long enough");
  WriteFile(dir / "cut.fnt", kFont.substr(0, 200));
  WriteFile(dir / "over.fnt", Header(64, 130, 190, 17) + Pcx("ab") + kText);
  Result r = RunCli(dir.path(), {"--test", "good.fnt", "bad.fnt", "cut.fnt", "over.fnt",
                                 "gone.fnt", "/", dir.path() + "/"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "good.fnt: OK\n"
            "bad.fnt: bad signature\n"
            "cut.fnt: the text member runs past the end of the file\n"
            "over.fnt: the members overlap each other\n"
            "gone.fnt: opening: No such file or directory\n"
            "/: opening: Is a directory\n" +
                dir.path() + "/: opening: Is a directory\n");
  EXPECT_EQ(RunCli(dir.path(), {"-t", "good.fnt"}).status, 0);
  for (auto args : std::vector<std::vector<std::string>>{
           {"-t", "-l", "good.fnt"}, {"--json", "good.fnt"}, {"-tn", "good.fnt"}, {"-t"}}) {
    r = RunCli(dir.path(), args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(dir.List(),
            (std::vector<std::string>{"bad.fnt", "cut.fnt", "good.fnt", "over.fnt"}));
}

TEST(Options, JsonIsOneDocumentWithAnObjectPerFile) {
  TempDir dir;
  WriteFile(dir / "good.fnt", kFont);
  // Quote, backslash, control, and bytes that are not UTF-8: a lone byte, an
  // overlong form, a surrogate, a code point past U+10FFFF.
  const std::string odd = "a\"\\\x01\xff\xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80.fnt";
  WriteFile(dir / odd, Header(64, 0, 60, 4) + "1234");
  Result r = RunCli(dir.path(), {"--list", "--json", "good.fnt", odd, "gone.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, R"([
  {
    "file": "good.fnt",
    "ok": true,
    "error": null,
    "problems": [],
    "size": 207,
    "container": true,
    "uncovered_bytes": 0,
    "members": [
      {"kind": "image", "name": "good.pcx", "offset": 64, "length": 130, "past_end": 0, "pcx": {"width": 16, "height": 8, "bits_per_pixel": 8, "planes": 1, "version": 5, "run_length_encoded": true}},
      {"kind": "text", "name": "good.txt", "offset": 194, "length": 13, "past_end": 0, "lines": 2, "looks_like": "cp932"}
    ]
  },
  {
    "file": "a\"\\\u0001\\xFF\\xE0\\x80\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80.fnt",
    "ok": false,
    "error": null,
    "problems": ["text_overlaps_header", "not_pcx"],
    "size": 68,
    "container": true,
    "uncovered_bytes": 4,
    "members": [
      {"kind": "image", "name": "a\"\\\u0001\\xFF\\xE0\\x80\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80.pcx", "offset": 64, "length": 0, "past_end": 0, "pcx": null},
      {"kind": "text", "name": "a\"\\\u0001\\xFF\\xE0\\x80\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80.txt", "offset": 60, "length": 4, "past_end": 0, "lines": 1, "looks_like": "other"}
    ]
  },
  {
    "file": "gone.fnt",
    "ok": false,
    "error": "opening: No such file or directory",
    "problems": ["unreadable"],
    "size": null,
    "container": false,
    "uncovered_bytes": 0,
    "members": []
  }
]
)");
  // Written as the files are read: memory stays flat however many there are.
  std::vector<std::string> many(20000, "good.fnt");
  many.insert(many.begin(), {"--test", "--json"});
  r = RunCli(dir.path(), many);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(r.out.size() - 6), "  }\n]\n");
#ifndef __SANITIZE_ADDRESS__
  struct rusage usage = {};
  getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 32 << 10);  // KiB
#endif
}

TEST(Options, DirectoryTakesTheOutputsAndLeavesTheInputs) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "in").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "out").c_str(), 0755), 0);
  WriteFile(dir / "in" + Sep() + "f.fnt", kFont);
  Result r = RunCli(dir.path(), {"-C", "out", "in/f.fnt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kSplitDone);
  EXPECT_EQ(ReadFile(dir / "out" + Sep() + "f.pcx"), Pcx("ab"));
  EXPECT_EQ(ReadFile(dir / "out" + Sep() + "f.txt"), kText);
  EXPECT_FALSE(Exists(dir / "in" + Sep() + "f.pcx"));
  // A join from inside the folder, into a relative one.
  ASSERT_EQ(mkdir((dir / "joined").c_str(), 0755), 0);
  r = RunCli(dir / "out", {"--directory=../joined", "f.txt", "f.pcx"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "joined" + Sep() + "f.fnt"), kFont);
  EXPECT_FALSE(Exists(dir / "out" + Sep() + "f.fnt"));
  // A folder that is not there stops the split before anything is written.
  r = RunCli(dir.path(), {"-Cmissing", "in/f.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "missing") + ": opening: No such file or directory\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"in", "joined", "out"}));
}

TEST(Options, NoClobberNamesEveryExistingOutputAndWritesNothing) {
  TempDir dir;
  WriteFile(dir / "f.fnt", kFont);
  WriteFile(dir / "f.pcx", "earlier image");
  WriteFile(dir / "f.txt", "earlier text");
  Result r = RunCli(dir.path(), {"-n", "f.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "f.pcx") + ": already exists\ntarnvell: " +
                       (dir / "f.txt") + ": already exists\n");
  EXPECT_EQ(ReadFile(dir / "f.pcx"), "earlier image");
  EXPECT_EQ(ReadFile(dir / "f.txt"), "earlier text");
  // Only the image is there: the text is not written either.
  ASSERT_EQ(unlink((dir / "f.txt").c_str()), 0);
  r = RunCli(dir.path(), {"--no-clobber", "f.fnt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "tarnvell: " + (dir / "f.pcx") + ": already exists\n");
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"f.fnt", "f.pcx"}));
  // Without the option the earlier file is replaced, as always.
  r = RunCli(dir.path(), {"f.fnt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir / "f.pcx"), Pcx("ab"));
}

}  // namespace
