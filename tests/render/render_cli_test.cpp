// sandglass-render driven as a user would: the summary line, the files it writes (decoded and
// compared with each other), and its refusals, which must leave no file behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <gif_lib.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fixed_palette.h"
#include "golden_frames.h"

extern char** environ;

namespace {

struct Result {
    int status = -1;  // exit code, or 128 + signal
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    return names;
}

int lines_in(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

uint64_t fnv1a(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

class RenderCli : public ::testing::Test {
protected:
    void SetUp() override {
        char work[] = "/tmp/render_cli_XXXXXX";
        char capture[] = "/tmp/render_cli_capture_XXXXXX";
        ASSERT_NE(mkdtemp(work), nullptr);
        ASSERT_NE(mkdtemp(capture), nullptr);
        dir_ = work;
        capture_ = capture;
    }
    void TearDown() override {
        std::string command = "rm -rf '" + dir_ + "' '" + capture_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    std::string at(const std::string& name) const { return dir_ + "/" + name; }

    // Starts the renderer with stdout and stderr going to capture files (stdout to another
    // file when one is named).
    pid_t start(const std::vector<std::string>& args, const std::string& stdout_path = "") {
        std::vector<char*> argv;
        std::string program = SANDGLASS_RENDER;
        argv.push_back(&program[0]);
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string out = stdout_path.empty() ? capture_ + "/out" : stdout_path;
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, (capture_ + "/err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        return pid;
    }

    Result finish(pid_t pid) {
        Result r;
        int status = 0;
        if (waitpid(pid, &status, 0) == pid)
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = slurp(capture_ + "/out");
        r.err = slurp(capture_ + "/err");
        return r;
    }

    Result run(const std::vector<std::string>& args) { return finish(start(args)); }

    std::string dir_, capture_;
};

const std::regex SUMMARY(
    R"(frames=(\d+) count=(\d+) origin=(\d+),(\d+) orbit=(\S+) wave=(\S+) fnv=([0-9a-f]{16})\n)");

uint64_t summary_hash(const std::string& out) {
    std::smatch m;
    if (!std::regex_match(out, m, SUMMARY)) return 0;
    return std::strtoull(m[7].str().c_str(), nullptr, 16);
}

TEST_F(RenderCli, PrintsOneSummaryLineAndNothingElse) {
    Result r = run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::regex_match(r.out, SUMMARY)) << r.out;
    EXPECT_EQ(r.out, std::string(GOLDEN_RUNS[3].frame_1) + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(names_in(dir_).empty());
}

TEST_F(RenderCli, MatchesTheGoldenFramesInEachLayout) {
    for (const GoldenRun& golden : GOLDEN_RUNS) {
        std::string bpp = std::to_string(golden.bits_per_pixel);
        Result r = run({"--bpp", bpp, "--frames", "60"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, std::string(golden.frame_60) + "\n") << bpp;
    }
    // The default dt is the text 0.016666668 narrowed to a float.
    Result r = run({"--frames", "60", "--dt", "0.016666668", "--bpp", "16"});
    EXPECT_EQ(r.out, std::string(GOLDEN_RUNS[1].frame_60) + "\n");
}

TEST_F(RenderCli, RawFileIsTheHashedSurface) {
    for (int bpp : {8, 16, 24, 32}) {
        Result r = run({"--frames", "2", "--bpp", std::to_string(bpp), "--raw", at("s.raw")});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string raw = slurp(at("s.raw"));
        EXPECT_EQ(raw.size(), 640u * 480u * bpp / 8) << bpp;
        EXPECT_EQ(fnv1a(raw), summary_hash(r.out)) << bpp;
        EXPECT_EQ(names_in(dir_).size(), 1u);  // no temporary file beside it
    }
}

// Decodes an 8-bit RGB PNG with libpng.
bool read_png(const std::string& path, std::vector<uint8_t>& rgb) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    if (image.width != 640 || image.height != 480) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

TEST_F(RenderCli, PngShowsTheSurfaceThroughItsLayout) {
    for (int bpp : {8, 16, 32}) {
        Result r = run({"--frames", "30", "--bpp", std::to_string(bpp), "--png", at("f.png"),
                        "--raw", at("f.raw")});
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(read_png(at("f.png"), rgb)) << bpp;
        std::string raw = slurp(at("f.raw"));
        int mismatches = 0, lit = 0;
        for (int i = 0; i < 640 * 480; ++i) {
            const uint8_t* p = &rgb[i * 3];
            lit += p[0] + p[1] + p[2] != 0;
            if (bpp == 32) {
                mismatches += p[0] != uint8_t(raw[i * 4 + 2]) || p[1] != uint8_t(raw[i * 4 + 1]) ||
                              p[2] != uint8_t(raw[i * 4]);
            } else if (bpp == 16) {
                unsigned v = uint8_t(raw[i * 2]) | uint8_t(raw[i * 2 + 1]) << 8;
                mismatches += (p[0] >> 3) != (v >> 11) || (p[1] >> 2) != ((v >> 5) & 63) ||
                              (p[2] >> 3) != (v & 31);
            } else {
                PaletteRgb c = fixed_palette_color(uint8_t(raw[i]));
                mismatches += p[0] != c.red || p[1] != c.green || p[2] != c.blue;
            }
        }
        EXPECT_EQ(mismatches, 0) << bpp;
        EXPECT_GT(lit, 50000) << bpp;  // background, vessel and sand are there
    }
}

TEST_F(RenderCli, GifHoldsEveryKthFrameWithDelaysThatAddUp) {
    Result r = run({"--frames", "25", "--gif", at("a.gif"), "--gif-every", "10", "--png",
                    at("last.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(at("a.gif").c_str(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    ASSERT_EQ(gif->ImageCount, 3);  // frames 10, 20 and the last, 25
    // 10 frames of 1/60 s are 16.67 cs; each image ends at the rounded total: 17, 33, 42.
    const int delays[3] = {17, 16, 9};
    for (int i = 0; i < 3; ++i) {
        GraphicsControlBlock control;
        ASSERT_EQ(DGifSavedExtensionToGCB(gif, i, &control), GIF_OK);
        EXPECT_EQ(control.DelayTime, delays[i]) << i;
    }
    // The last image is the last frame, colour for colour.
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(read_png(at("last.png"), rgb));
    const SavedImage& last = gif->SavedImages[2];
    ASSERT_EQ(last.ImageDesc.Width, 640);
    ASSERT_EQ(last.ImageDesc.Height, 480);
    const ColorMapObject* map = last.ImageDesc.ColorMap ? last.ImageDesc.ColorMap : gif->SColorMap;
    ASSERT_NE(map, nullptr);
    int mismatches = 0;
    for (int i = 0; i < 640 * 480; ++i) {
        const GifColorType& c = map->Colors[last.RasterBits[i]];
        mismatches += c.Red != rgb[i * 3] || c.Green != rgb[i * 3 + 1] || c.Blue != rgb[i * 3 + 2];
    }
    EXPECT_EQ(mismatches, 0);
    DGifCloseFile(gif, &error);

    // One image per frame by default; 1.67 cs each comes out as 2, 1, 2.
    r = run({"--frames", "3", "--gif", at("b.gif")});
    gif = DGifOpenFileName(at("b.gif").c_str(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    ASSERT_EQ(gif->ImageCount, 3);
    const int short_delays[3] = {2, 1, 2};
    for (int i = 0; i < 3; ++i) {
        GraphicsControlBlock control;
        ASSERT_EQ(DGifSavedExtensionToGCB(gif, i, &control), GIF_OK);
        EXPECT_EQ(control.DelayTime, short_delays[i]) << i;
    }
    DGifCloseFile(gif, &error);
}

TEST_F(RenderCli, GrainsFileListsThePoolInOrder) {
    Result r = run({"--grains", at("g.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream in(slurp(at("g.txt")));
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int i, x, y, red, green, blue, rest;
        ASSERT_TRUE(fields >> i >> x >> y >> red >> green >> blue >> rest) << line;
        std::string extra;
        EXPECT_FALSE(fields >> extra) << line;
        ASSERT_EQ(i, n);
        ASSERT_TRUE(x >= 0 && x < 640 && y >= 0 && y < 480) << line;
        if (n == 0) {
            EXPECT_EQ(line, "0 512 163 96 96 96 255");  // (513, 163) shifted left
        }
        if (n == 694) {
            EXPECT_EQ(line.substr(line.find(" 255 255 0")), " 255 255 0 6");
        }
        EXPECT_EQ(rest, n < 694 ? 255 : 6) << line;
        ++n;
    }
    EXPECT_EQ(n, 3194);
}

TEST_F(RenderCli, BadArgumentsExitTwoWithOneLineAndNoFile) {
    const std::vector<std::vector<std::string>> cases = {
        {"--colour", "red"},  {"frames"},           {"--frames"},
        {"--frames", "abc"},  {"--frames", "12x"},  {"--frames", "0"},
        {"--frames", "-5"},   {"--frames", "99999999999"}, {"--frames", ""},
        {"--frames", " 5"},   {"--bpp", "15"},      {"--bpp", "0"},
        {"--bpp", "32.0"},    {"--gif-every", "0"}, {"--dt", "-1"},
        {"--dt", "-0.001"},   {"--dt", "nan"},      {"--dt", "abc"},
        {"--dt", "1e39"},     {"--dt", "inf"},      {"--png", ""},
        {"--gif"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--png", at("x.png"), "--gif", at("x.gif"),
                                         "--raw", at("x.raw"), "--grains", at("x.txt")};
        args.insert(args.end(), c.begin(), c.end());
        Result r = run(args);
        std::string shown = c[0] + (c.size() > 1 ? " '" + c[1] + "'" : "");
        EXPECT_EQ(r.status, 2) << shown;
        EXPECT_EQ(lines_in(r.err), 1) << shown << ": " << r.err;
        EXPECT_EQ(r.err.rfind("sandglass-render: ", 0), 0u) << shown;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_TRUE(names_in(dir_).empty()) << shown;
    }
}

TEST_F(RenderCli, UnwritableOutputExitsOneAndLeavesNothing) {
    // A missing directory, and a name that is a directory; the good outputs are not left
    // behind either.
    ASSERT_EQ(mkdir(at("taken").c_str(), 0755), 0);
    const std::vector<std::vector<std::string>> cases = {
        {"--png", at("ok.png"), "--raw", at("missing/x.raw")},
        {"--png", at("ok.png"), "--gif", at("taken")},
        {"--grains", at("missing/g.txt"), "--gif", at("ok.gif")},
    };
    for (const auto& c : cases) {
        Result r = run(c);
        EXPECT_EQ(r.status, 1) << c[3];
        EXPECT_EQ(lines_in(r.err), 1) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(names_in(dir_), std::vector<std::string>{"taken"}) << c[3];
        EXPECT_TRUE(names_in(at("taken")).empty());
    }
}

// The summary line is the run's result: when standard output cannot take it, the run failed.
TEST_F(RenderCli, UnwritableSummaryLineExitsOne) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    Result r = finish(start({"--raw", at("s.raw")}, "/dev/full"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines_in(r.err), 1) << r.err;
    EXPECT_EQ(r.err.rfind("sandglass-render: ", 0), 0u) << r.err;
}

TEST_F(RenderCli, InterruptedRunLeavesNoFile) {
    pid_t pid = start({"--frames", "10000000", "--gif", at("long.gif"), "--png", at("p.png")});
    // Wait until the run is under way (its temporary files exist), then stop it.
    for (int i = 0; i < 200 && names_in(dir_).size() < 2; ++i) usleep(10000);
    usleep(200000);
    kill(pid, SIGTERM);
    Result r = finish(pid);
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(lines_in(r.err), 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(names_in(dir_).empty());
}

}  // namespace
