// sandglass-render driven as a user would: the summary line, the files it writes (decoded and
// compared with each other), and its refusals, which must leave no file behind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <gif_lib.h>
#include <grp.h>
#include <pwd.h>
#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "fixed_palette.h"
#include "golden_frames.h"

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

// How a run is started: where standard output goes, a file size limit, and whether /dev is
// a scratch directory in a private mount namespace.
struct Launch {
    std::string stdout_path;    // "" for the capture file
    bool broken_pipe = false;   // standard output a pipe whose reader is gone
    bool piped = false;         // standard output a pipe that cat copies to the capture file
    bool full_pipe = false;     // standard output a pipe filled up, whose reader never reads
    rlim_t file_limit = RLIM_INFINITY;
    std::string private_dev;    // a directory to bind over /dev, or ""
    uid_t user = 0;             // run as this user (and its group) instead; 0: as the test
};

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
        std::string command = "chattr -R -ia '" + dir_ + "' 2>/dev/null; rm -rf '" + dir_ + "' '" + capture_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    std::string at(const std::string& name) const { return dir_ + "/" + name; }

    // Starts the renderer with stdout and stderr going to capture files. SIGPIPE is back to
    // its default in the child, so that only the renderer's own handling keeps it alive.
    pid_t start(const std::vector<std::string>& args, const Launch& how = Launch()) {
        std::vector<std::string> words;
        if (!how.private_dev.empty())
            words = {"unshare", "-m", "--", "sh", "-c", "mount --bind \"$0\" /dev && exec \"$@\"",
                     how.private_dev};
        words.push_back(SANDGLASS_RENDER);
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(&w[0]);
        argv.push_back(nullptr);
        const std::string out = how.stdout_path.empty() ? capture_ + "/out" : how.stdout_path;
        const std::string err = capture_ + "/err";
        int pipe_ends[2] = {-1, -1};
        if (how.broken_pipe || how.piped || how.full_pipe) {
            EXPECT_EQ(pipe(pipe_ends), 0);
        }
        if (how.full_pipe) {
            const std::string block(4096, 'x');
            fcntl(pipe_ends[1], F_SETFL, O_NONBLOCK);
            while (write(pipe_ends[1], block.data(), block.size()) > 0) {
            }
            fcntl(pipe_ends[1], F_SETFL, 0);
            stalled_reader_ = pipe_ends[0];
        }
        if (how.broken_pipe) close(pipe_ends[0]);
        if (how.piped) {
            reader_ = fork();
            if (reader_ == 0) {
                int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (out_fd < 0 || dup2(pipe_ends[0], 0) < 0 || dup2(out_fd, 1) < 0) _exit(127);
                close(pipe_ends[1]);
                execlp("cat", "cat", static_cast<char*>(nullptr));
                _exit(127);
            }
            close(pipe_ends[0]);
        }
        pid_t pid = fork();
        if (pid == 0) {
            int out_fd = how.broken_pipe || how.piped || how.full_pipe ? pipe_ends[1]
                                         : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out_fd < 0 || err_fd < 0 || dup2(out_fd, 1) < 0 || dup2(err_fd, 2) < 0) _exit(127);
            signal(SIGPIPE, SIG_DFL);
            if (how.user != 0 && (setgroups(0, nullptr) != 0 || setgid(how.user) != 0 ||
                                  setuid(how.user) != 0))
                _exit(127);
            rlimit limit = {how.file_limit, how.file_limit};
            if (how.file_limit != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        if (how.broken_pipe || how.piped || how.full_pipe) close(pipe_ends[1]);
        EXPECT_GT(pid, 0);
        return pid;
    }

    // Waits a minute at most: a renderer stuck on a FIFO is killed and shows as 128 + 9.
    Result finish(pid_t pid) {
        Result r;
        int status = 0;
        pid_t done = 0;
        for (int i = 0; i < 6000 && (done = waitpid(pid, &status, WNOHANG)) == 0; ++i)
            usleep(10000);
        if (done == 0) {
            kill(pid, SIGKILL);
            done = waitpid(pid, &status, 0);
        }
        if (done == pid)
            r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (reader_ > 0) waitpid(reader_, nullptr, 0);  // cat ends with the renderer's output
        reader_ = -1;
        if (stalled_reader_ >= 0) close(stalled_reader_);
        stalled_reader_ = -1;
        r.out = slurp(capture_ + "/out");
        r.err = slurp(capture_ + "/err");
        return r;
    }

    // Runs a shell command in the scratch directory, with $OUT naming the capture directory.
    int shell(const std::string& command) const {
        std::string quoted;
        for (char c : command) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return std::system(
            ("cd '" + dir_ + "' && OUT='" + capture_ + "' sh -c '" + quoted + "'").c_str());
    }

    Result run(const std::vector<std::string>& args) { return finish(start(args)); }

    std::string dir_, capture_;
    pid_t reader_ = -1;
    int stalled_reader_ = -1;
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

// Decodes an 8-bit RGB PNG of the frame, scale times its size, with libpng.
bool read_png(const std::string& path, std::vector<uint8_t>& rgb, unsigned scale = 1) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    if (image.width != 640 * scale || image.height != 480 * scale) return false;
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

// Catches a scaled output that is shifted, filtered, cut short or made of another frame: every
// output at --scale 3 is the 1x frame with each pixel a 3 x 3 block, and the summary stays 1x.
TEST_F(RenderCli, ScaledOutputsAreTheFrameInWholeBlocks) {
    Result plain = run({"--frames", "30", "--bpp", "16", "--png", at("1.png"), "--raw", at("1.raw")});
    Result scaled = run({"--frames", "30", "--bpp", "16", "--scale", "3", "--png", at("3.png"),
                         "--raw", at("3.raw"), "--gif", at("3.gif"), "--gif-every", "30"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(scaled.status, 0) << scaled.err;
    EXPECT_EQ(scaled.out, plain.out);
    const std::string raw1 = slurp(at("1.raw")), raw3 = slurp(at("3.raw"));
    std::vector<uint8_t> rgb1, rgb3;
    ASSERT_TRUE(read_png(at("1.png"), rgb1));
    ASSERT_TRUE(read_png(at("3.png"), rgb3, 3));
    ASSERT_EQ(raw3.size(), raw1.size() * 9);
    int error = 0;
    GifFileType* gif = DGifOpenFileName(at("3.gif").c_str(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    const SavedImage& image = gif->SavedImages[gif->ImageCount - 1];
    ASSERT_EQ(image.ImageDesc.Width, 1920);
    ASSERT_EQ(image.ImageDesc.Height, 1440);
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    int raw_mismatches = 0, png_mismatches = 0, gif_mismatches = 0;
    for (int y = 0; y < 1440; ++y)
        for (int x = 0; x < 1920; ++x) {
            const int from = (y / 3) * 640 + x / 3, to = y * 1920 + x;
            raw_mismatches += raw3.compare(to * 2, 2, raw1, from * 2, 2) != 0;
            png_mismatches += !std::equal(&rgb3[to * 3], &rgb3[to * 3 + 3], &rgb1[from * 3]);
            const GifColorType& c = map->Colors[image.RasterBits[to]];
            gif_mismatches += c.Red != rgb1[from * 3] || c.Green != rgb1[from * 3 + 1] ||
                              c.Blue != rgb1[from * 3 + 2];
        }
    DGifCloseFile(gif, &error);
    EXPECT_EQ(raw_mismatches, 0);
    EXPECT_EQ(png_mismatches, 0);
    EXPECT_EQ(gif_mismatches, 0);
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
        {"--gif"},            {"--frames", "\v5"},   {"--frames", "\f5"},
        {"--bpp", "\r32"},    {"--gif-every", "\n2"}, {"--dt", "\v0.5"},
        {"--dt", "\r1"},      {"--frames", "5\n"},   {"--fr\names", "1"},
        {"--raw", at("x.png")},
        {"--scale", "0"},     {"--scale", "17"},    {"--scale", "2.0"},
        // One number rule with the page: decimal digits only (strtod took these).
        {"--dt", "0x1p-6"},   {"--dt", "0X.8"},     {"--dt", "0x10"},
        {"--dt", "-0"},       {"--dt", "-0.0"},
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
    // What the user typed comes back escaped, so the message stays on one line.
    Result r = run({"--frames", "5\n\x01'"});
    EXPECT_EQ(r.err, "sandglass-render: --frames: '5\\n\\x01\\'' is not a whole number\n");
}

TEST_F(RenderCli, UnwritableOutputExitsOneAndLeavesNothing) {
    // A missing directory, and a name that is a directory; the good outputs are not left
    // behind either.
    ASSERT_EQ(mkdir(at("taken").c_str(), 0755), 0);
    const std::vector<std::vector<std::string>> cases = {
        {"--png", at("ok.png"), "--raw", at("missing/x.raw")},
        {"--png", at("ok.png"), "--gif", at("taken")},
        {"--grains", at("missing/g.txt"), "--gif", at("ok.gif")},
        {"--png", at("ok.png"), "--raw", at("miss\ning/x.raw")},
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

    // Waiting for a FIFO's reader that never comes: the signal ends the wait.
    ASSERT_EQ(mkfifo(at("nobody").c_str(), 0644), 0);
    pid = start({"--png", at("p.png"), "--raw", at("nobody")});
    for (int i = 0; i < 200 && names_in(dir_).size() < 2; ++i) usleep(10000);
    usleep(100000);
    kill(pid, SIGTERM);
    r = finish(pid);
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(lines_in(r.err), 1) << r.err;
    EXPECT_EQ(names_in(dir_), std::vector<std::string>{"nobody"});
}

// Where the outputs land and what the exit code then promises. Each row starts from an empty
// scratch directory, "@" in an argument standing for it; rows with private_dev run in a mount
// namespace whose /dev is a scratch directory holding null (1,3) and full (1,7).
TEST_F(RenderCli, TargetsKeepTheirKindAndExitCodesKeepTheirWord) {
    enum Stdout { CAPTURED, FULL, BROKEN_PIPE, PIPE, FULL_PIPE };
    // What a row needs beyond the scratch directory: chattr, or a second user (as root).
    enum Needs { NOTHING, ATTRIBUTES, OTHER_USER };
    struct Row {
        const char* what;
        std::string setup;  // shell, run in the scratch directory first
        std::vector<std::string> args;
        Stdout out;
        rlim_t file_limit;
        bool private_dev;
        int status;
        std::string err;                 // a piece of the one-line message; "" for silence
        std::vector<std::string> names;  // the scratch directory afterwards, sorted
        std::string check;               // shell that must succeed afterwards, or ""
        Needs needs = NOTHING;
        int signal = 0;                  // sent a moment after the start, or 0
    };
    const rlim_t NONE = RLIM_INFINITY;
    const std::string raw_size = "1228800";  // 640 x 480 x 4
    const std::string long_raw(255, 'r'), long_png(250, 'p');
    const std::vector<Row> rows = {
        // A link survives; what it leads to receives the output.
        {"link to a file", "echo old > real.png && ln -s real.png link.png",
         {"--png", "@link.png"}, CAPTURED, NONE, false, 0, "", {"link.png", "real.png"},
         "test -L link.png && [ \"$(readlink link.png)\" = real.png ] && "
         "head -c 4 real.png | grep -q PNG"},
        {"dangling relative link into a directory", "mkdir sub && ln -s sub/made.raw link.raw",
         {"--raw", "@link.raw"}, CAPTURED, NONE, false, 0, "", {"link.raw", "sub"},
         "test -L link.raw && [ \"$(ls -A sub)\" = made.raw ] && "
         "[ $(stat -c %s sub/made.raw) = " + raw_size + " ]"},
        {"chain of links, one absolute", "ln -s \"$PWD/b\" a && ln -s c b", {"--grains", "@a"},
         CAPTURED, NONE, false, 0, "", {"a", "b", "c"},
         "test -L a && test -L b && [ $(wc -l < c) = 3194 ]"},
        {"a replaced file keeps its permissions but not set-id",
         "echo old > keep.raw && chmod 4640 keep.raw",
         {"--raw", "@keep.raw"}, CAPTURED, NONE, false, 0, "", {"keep.raw"},
         "[ $(stat -c %a keep.raw) = 640 ] && [ $(stat -c %s keep.raw) = " + raw_size + " ]"},
        {"names of 255 and 250 bytes", "", {"--raw", "@" + long_raw, "--png", "@" + long_png},
         CAPTURED, NONE, false, 0, "", {long_png, long_raw}, ""},
        // A FIFO receives the bytes and stays a FIFO.
        {"FIFO", "mkfifo pipe && { timeout 20 cat pipe > \"$OUT/got\" & }", {"--raw", "@pipe"},
         CAPTURED, NONE, false, 0, "", {"pipe"},
         "test -p pipe && for i in 1 2 3 4 5 6 7 8 9 10; do "
         "[ \"$(stat -c %s \"$OUT/got\")\" = " + raw_size +
             " ] && exit 0; sleep 0.2; done; exit 1"},
        // A device is written, never replaced; a full one fails, named.
        {"null device", "", {"--png", "/dev/null", "--raw", "@x.raw"}, CAPTURED, NONE, true, 0,
         "", {"x.raw"}, ""},
        {"link to the null device", "ln -s /dev/null sink", {"--gif", "@sink"}, CAPTURED, NONE,
         true, 0, "", {"sink"}, "test -L sink"},
        {"full device", "", {"--png", "@ok.png", "--raw", "/dev/full"}, CAPTURED, NONE, true, 1,
         "cannot write '/dev/full': No space left on device", {}, ""},
        // The summary line goes out before any output is put in place.
        {"standard output full", "", {"--raw", "@s.raw", "--png", "@s.png"}, FULL, NONE, false,
         1, "summary line", {}, ""},
        // A pipe reached through /dev/stdout's links, as a shell's >(command) is, gets the bytes.
        {"a pipe through /dev/stdout", "", {"--grains", "/dev/stdout"}, PIPE, NONE, false, 0, "",
         {}, "[ $(wc -l < \"$OUT/out\") = 3195 ] && head -n 1 \"$OUT/out\" | grep -qx '0 .*' && "
             "tail -n 1 \"$OUT/out\" | grep -q '^frames=1 '"},
        {"standard output a closed pipe", "", {"--raw", "@s.raw", "--grains", "@g.txt"},
         BROKEN_PIPE, NONE, false, 1, "Broken pipe", {}, ""},
        {"the usage to a closed pipe", "", {"--help"}, BROKEN_PIPE, NONE, false, 1,
         "cannot write the usage to standard output: Broken pipe", {}, ""},
        // A signal that ends a write blocked on a full pipe is an interruption (once wrongly 1).
        {"the usage to a full pipe, SIGINT", "", {"--help"}, FULL_PIPE, NONE, false, 130,
         "interrupted", {}, "", NOTHING, SIGINT},
        {"the usage to a full pipe, SIGTERM", "", {"--help"}, FULL_PIPE, NONE, false, 130,
         "interrupted", {}, "", NOTHING, SIGTERM},
        {"the usage to a full pipe, SIGHUP", "", {"--help"}, FULL_PIPE, NONE, false, 130,
         "interrupted", {}, "", NOTHING, SIGHUP},
        // A name that may not be replaced fails before the summary line, leaving everything as
        // it was (once the summary went out and the rename failed, new.png left behind).
        {"an immutable target", "echo OLD > x.raw && chattr +i x.raw",
         {"--png", "@new.png", "--raw", "@x.raw"}, CAPTURED, NONE, false, 1, "immutable",
         {"x.raw"}, "[ \"$(cat x.raw)\" = OLD ]", ATTRIBUTES},
        {"an append-only target", "echo OLD > x.raw && chattr +a x.raw",
         {"--png", "@new.png", "--raw", "@x.raw"}, CAPTURED, NONE, false, 1, "append-only",
         {"x.raw"}, "[ \"$(cat x.raw)\" = OLD ]", ATTRIBUTES},
        // An append-only directory allows no rename and no removal: no temporary file is left.
        {"an append-only directory", "mkdir sub && chattr +a sub", {"--png", "@sub/x.png"},
         CAPTURED, NONE, false, 1, "append-only", {"sub"}, "[ -z \"$(ls -A sub)\" ]",
         ATTRIBUTES},
        {"another user's file in a sticky directory", "chmod 1777 . && echo OLD > x.raw && "
         "chmod 666 x.raw", {"--png", "@new.png", "--raw", "@x.raw"}, CAPTURED, NONE, false, 1,
         "sticky", {"x.raw"}, "[ \"$(cat x.raw)\" = OLD ]", OTHER_USER},
        // ...but one's own file there is replaced as usual.
        {"one's own file in a sticky directory", "chmod 1777 . && echo OLD > x.raw && "
         "chown \"$OTHER\" x.raw", {"--raw", "@x.raw"}, CAPTURED, NONE, false, 0, "",
         {"x.raw"}, "[ $(stat -c %s x.raw) = " + raw_size + " ]", OTHER_USER},
        // A file size limit is a failed write, not a death.
        {"size limit on the last frame", "", {"--png", "@small.png", "--raw", "@big.raw"},
         CAPTURED, 100000, false, 1, "big.raw': File too large", {}, ""},
        {"size limit during the animation", "", {"--frames", "40", "--gif", "@a.gif"}, CAPTURED,
         100000, false, 1, "a.gif': File too large", {}, ""},
        // Two outputs that land in one file are bad arguments.
        {"one name through '.'", "", {"--png", "@a", "--raw", "@./a"}, CAPTURED, NONE, false, 2,
         "same file", {}, ""},
        {"one name through '..'", "mkdir sub", {"--png", "@sub/../a", "--gif", "@a"}, CAPTURED,
         NONE, false, 2, "same file", {"sub"}, ""},
        {"a dangling link and its target", "ln -s t.raw l", {"--raw", "@l", "--grains", "@t.raw"},
         CAPTURED, NONE, false, 2, "same file", {"l"}, "test -L l"},
        {"two hard links", "echo old > h1 && ln h1 h2", {"--png", "@h1", "--raw", "@h2"},
         CAPTURED, NONE, false, 2, "same file", {"h1", "h2"}, "[ \"$(cat h2)\" = old ]"},
    };
    const bool namespaces = geteuid() == 0 && std::system("unshare -m true 2>/dev/null") == 0;
    // chattr where the file system of the scratch directory has the attributes.
    const bool attributes = shell("touch probe && chattr +i probe 2>/dev/null && "
                                  "chattr -i probe && rm probe") == 0;
    shell("rm -f probe");
    // A second user, made here and removed at the end, as root only.
    const std::string other_name = "sgrender" + std::to_string(getpid() % 100000);
    uid_t other = 0;
    if (geteuid() == 0 &&
        std::system(("useradd -M -N -r -s /usr/sbin/nologin " + other_name +
                     " 2>/dev/null").c_str()) == 0) {
        if (passwd* entry = getpwnam(other_name.c_str())) other = entry->pw_uid;
    }
    int skipped_attributes = 0, skipped_users = 0;
    const std::string dev = capture_ + "/dev";
    int skipped = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.private_dev && !namespaces) {
            ++skipped;
            continue;
        }
        if ((row.needs == ATTRIBUTES && !attributes) || (row.needs == OTHER_USER && other == 0)) {
            ++(row.needs == ATTRIBUTES ? skipped_attributes : skipped_users);
            continue;
        }
        shell("chattr -R -ia . 2>/dev/null; chmod 700 .");
        ASSERT_EQ(shell("find . -mindepth 1 -delete"), 0);
        if (row.private_dev) {
            ASSERT_EQ(shell("rm -rf \"$OUT/dev\" && mkdir \"$OUT/dev\" && cd \"$OUT/dev\" && "
                            "mknod null c 1 3 && mknod full c 1 7 && chmod 666 null full"),
                      0);
        }
        if (!row.setup.empty()) {
            ASSERT_EQ(shell("OTHER=" + std::to_string(other) + "; " + row.setup), 0);
        }
        std::vector<std::string> args;
        for (const std::string& a : row.args) args.push_back(a[0] == '@' ? at(a.substr(1)) : a);
        Launch how;
        how.stdout_path = row.out == FULL ? "/dev/full" : "";
        how.broken_pipe = row.out == BROKEN_PIPE;
        how.piped = row.out == PIPE;
        how.file_limit = row.file_limit;
        how.private_dev = row.private_dev ? dev : "";
        how.full_pipe = row.out == FULL_PIPE;
        how.user = row.needs == OTHER_USER ? other : 0;
        pid_t pid = start(args, how);
        if (row.signal != 0) {
            usleep(300000);
            kill(pid, row.signal);
        }
        Result r = finish(pid);

        EXPECT_EQ(r.status, row.status) << r.err;
        if (row.err.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(lines_in(r.err), 1) << r.err;
            EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        }
        if (row.out == CAPTURED) {
            // A summary line only when every output is in place.
            if (row.status == 0)
                EXPECT_TRUE(std::regex_match(r.out, SUMMARY)) << r.out;
            else
                EXPECT_EQ(r.out, "");
        }
        std::vector<std::string> names = names_in(dir_);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, row.names);
        if (!row.check.empty()) {
            EXPECT_EQ(shell(row.check), 0) << row.check;
        }
        if (row.private_dev) {
            std::vector<std::string> nodes = names_in(dev);
            std::sort(nodes.begin(), nodes.end());
            EXPECT_EQ(nodes, (std::vector<std::string>{"full", "null"}));
            for (auto node : {std::make_pair("null", 3u), std::make_pair("full", 7u)}) {
                struct stat s;
                ASSERT_EQ(lstat((dev + "/" + node.first).c_str(), &s), 0);
                EXPECT_TRUE(S_ISCHR(s.st_mode)) << node.first;
                EXPECT_EQ(major(s.st_rdev), 1u);
                EXPECT_EQ(minor(s.st_rdev), node.second);
            }
        }
    }
    shell("chattr -R -ia . 2>/dev/null");
    if (other != 0) std::system(("userdel " + other_name).c_str());
    if (skipped > 0)
        std::printf("%d rows skipped: a private mount namespace needs root\n", skipped);
    if (skipped_attributes > 0)
        std::printf("%d rows skipped: the scratch directory's file system has no chattr "
                    "attributes\n", skipped_attributes);
    if (skipped_users > 0)
        std::printf("%d rows skipped: a second user needs root and useradd\n", skipped_users);
}

}  // namespace
