// Temporary-then-rename output: a reader never sees a half-written image, and a failed run
// leaves the directory as it was.
#include "output_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

bool output_open(OutputFile& out, const std::string& path, std::string& error) {
    out.path = path;
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        error = "cannot write '" + path + "': it is a directory";
        return false;
    }
    out.temp_path = path + ".tmp-XXXXXX";
    out.fd = mkstemp(&out.temp_path[0]);
    if (out.fd < 0) {
        error = "cannot create a file beside '" + path + "': " + std::strerror(errno);
        out.temp_path.clear();
        return false;
    }
    // mkstemp makes the file private; give it the mode a plain create would.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(out.fd, 0666 & ~mask);
    return true;
}

FILE* output_stream(OutputFile& out) {
    if (out.stream == nullptr && out.fd >= 0) out.stream = fdopen(out.fd, "wb");
    return out.stream;
}

int output_release_fd(OutputFile& out) {
    int fd = out.fd;
    out.fd = -1;
    return fd;
}

static bool close_output(OutputFile& out) {
    bool ok = true;
    if (out.stream != nullptr) {
        ok = std::fflush(out.stream) == 0 && !std::ferror(out.stream);
        if (std::fclose(out.stream) != 0) ok = false;
        out.stream = nullptr;
        out.fd = -1;
    } else if (out.fd >= 0) {
        if (close(out.fd) != 0) ok = false;
        out.fd = -1;
    }
    return ok;
}

bool output_commit(OutputFile& out, std::string& error) {
    int saved = 0;
    bool ok = close_output(out);
    if (!ok) saved = errno;
    if (ok && std::rename(out.temp_path.c_str(), out.path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        error = "cannot write '" + out.path + "': " + std::strerror(saved);
        unlink(out.temp_path.c_str());
    }
    out.temp_path.clear();
    return ok;
}

void output_abandon(OutputFile& out) {
    close_output(out);
    if (!out.temp_path.empty()) unlink(out.temp_path.c_str());
    out.temp_path.clear();
}
