// tarnwell_burst: the load the benchmarks watch. N files are created and
// written, then each is renamed, then each is deleted, optionally spread over
// K subfolders made before the burst or during it (each right before its first
// file), as fast as possible or paced at a given rate of operations a second.
//
// One operation is one create-and-write, one rename or one delete. With
// --ops-log every operation's completion time is written afterwards, one line
// each: nanoseconds since the epoch, the change a watcher should report, the
// full path. Kept in memory during the burst, so the burst itself pays
// nothing for it. Prints one JSON line at the end.
//
// --tree FOLDERS makes a tree of that many folders instead (no burst): as
// many folders at the top as there are below each of them, for a watch of
// a big tree to set up.

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string dir;
    long files = 10000;
    long subdirs = 0;
    bool subdirsDuring = false;
    double rate = 0;  // operations a second; 0 is as fast as possible
    long size = 100;
    std::string opsLog;
    long tree = 0;
};

std::int64_t NowNs(clockid_t clock) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: tarnwell_burst --dir DIR [--files N] [--subdirs K [--during]] "
                 "[--rate OPS_PER_S] [--size BYTES] [--ops-log FILE]\n"
                 "       tarnwell_burst --dir DIR --tree FOLDERS\n");
}

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--dir" && hasValue) {
            o.dir = argv[++i];
        } else if (arg == "--files" && hasValue) {
            o.files = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--subdirs" && hasValue) {
            o.subdirs = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--during") {
            o.subdirsDuring = true;
        } else if (arg == "--rate" && hasValue) {
            o.rate = std::strtod(argv[++i], nullptr);
        } else if (arg == "--size" && hasValue) {
            o.size = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--ops-log" && hasValue) {
            o.opsLog = argv[++i];
        } else if (arg == "--tree" && hasValue) {
            o.tree = std::strtol(argv[++i], nullptr, 10);
        } else {
            return false;
        }
    }
    return !o.dir.empty() && o.tree >= 0 && o.files > 0 && o.subdirs >= 0 && o.rate >= 0 &&
           o.size >= 0 && o.size <= (1 << 20);
}

[[noreturn]] void Fail(const char* what, const std::string& path) {
    std::fprintf(stderr, "tarnwell_burst: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    std::exit(1);
}

struct Op {
    std::int64_t ns;
    std::uint8_t kind;  // index into kWords
    std::uint32_t file;
};

const char* const kWords[] = {"Created", "Renamed - From", "Renamed - To", "Deleted"};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        Usage();
        return 2;
    }
    if (o.tree > 0) {
        long top = 1;
        while (top * top < o.tree) ++top;
        long made = 0;
        for (long t = 0; t < top && made < o.tree; ++t) {
            const std::string upper = o.dir + "/t" + std::to_string(t);
            if (::mkdir(upper.c_str(), 0755) != 0) Fail("mkdir", upper);
            ++made;
            for (long b = 0; b + 1 < top && made < o.tree; ++b, ++made) {
                const std::string lower = upper + "/b" + std::to_string(b);
                if (::mkdir(lower.c_str(), 0755) != 0) Fail("mkdir", lower);
            }
        }
        std::printf("{\"tool\":\"burst\",\"tree\":%ld}\n", made);
        return 0;
    }
    // Files go to their subfolder in blocks, so a folder made during the burst
    // is written to the moment it exists: the race a subtree watch must win.
    const long perFolder = o.subdirs > 0 ? (o.files + o.subdirs - 1) / o.subdirs : o.files;
    const auto folderOf = [&](long i) {
        return o.subdirs > 0 ? o.dir + "/sub" + std::to_string(i / perFolder) : o.dir;
    };
    const auto nameOf = [&](long i, bool renamed) {
        return folderOf(i) + "/f" + std::to_string(i) + (renamed ? ".renamed" : ".new");
    };
    if (o.subdirs > 0 && !o.subdirsDuring) {
        for (long k = 0; k < o.subdirs; ++k) {
            const std::string folder = o.dir + "/sub" + std::to_string(k);
            if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) Fail("mkdir", folder);
        }
    }

    std::vector<char> data(static_cast<std::size_t>(o.size), 'x');
    std::vector<Op> ops;
    if (!o.opsLog.empty()) ops.reserve(static_cast<std::size_t>(o.files) * 4);
    const std::int64_t startNs = NowNs(CLOCK_REALTIME);
    const std::int64_t startMono = NowNs(CLOCK_MONOTONIC);
    long opIndex = 0;
    // Paced operations start at fixed points on the clock, so a late one does
    // not push all the later ones back.
    const auto pace = [&] {
        if (o.rate <= 0) return;
        const auto due =
            startMono + static_cast<std::int64_t>(static_cast<double>(opIndex) * 1e9 / o.rate);
        timespec t{static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
        }
    };
    const auto record = [&](std::uint8_t kind, long file) {
        if (!o.opsLog.empty())
            ops.push_back(Op{NowNs(CLOCK_REALTIME), kind, static_cast<std::uint32_t>(file)});
        ++opIndex;
    };

    for (long i = 0; i < o.files; ++i) {
        if (o.subdirs > 0 && o.subdirsDuring && i % perFolder == 0) {
            const std::string folder = folderOf(i);
            if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) Fail("mkdir", folder);
        }
        pace();
        const std::string name = nameOf(i, false);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) Fail("create", name);
        if (!data.empty() && ::write(fd, data.data(), data.size()) < 0) Fail("write", name);
        ::close(fd);
        record(0, i);
    }
    for (long i = 0; i < o.files; ++i) {
        pace();
        const std::string from = nameOf(i, false);
        const std::string to = nameOf(i, true);
        if (::rename(from.c_str(), to.c_str()) != 0) Fail("rename", from);
        record(1, i);
    }
    for (long i = 0; i < o.files; ++i) {
        pace();
        const std::string name = nameOf(i, true);
        if (::unlink(name.c_str()) != 0) Fail("unlink", name);
        record(3, i);
    }
    const std::int64_t endNs = NowNs(CLOCK_REALTIME);

    if (!o.opsLog.empty()) {
        std::FILE* log = std::fopen(o.opsLog.c_str(), "w");
        if (log == nullptr) Fail("open", o.opsLog);
        for (const Op& op : ops) {
            // A rename is one operation and two changes, at the same moment.
            if (op.kind == 1) {
                std::fprintf(log, "%lld\t%s\t%s\n", static_cast<long long>(op.ns), kWords[1],
                             nameOf(op.file, false).c_str());
                std::fprintf(log, "%lld\t%s\t%s\n", static_cast<long long>(op.ns), kWords[2],
                             nameOf(op.file, true).c_str());
            } else {
                std::fprintf(log, "%lld\t%s\t%s\n", static_cast<long long>(op.ns), kWords[op.kind],
                             nameOf(op.file, op.kind == 3).c_str());
            }
        }
        if (std::fclose(log) != 0) Fail("close", o.opsLog);
    }
    std::printf(
        "{\"tool\":\"burst\",\"files\":%ld,\"subdirs\":%ld,\"during\":%s,\"rate\":%.0f,"
        "\"operations\":%ld,\"expected_changes\":%ld,\"start\":%.6f,\"end\":%.6f}\n",
        o.files, o.subdirs, o.subdirsDuring ? "true" : "false", o.rate, opIndex, o.files * 4,
        static_cast<double>(startNs) * 1e-9, static_cast<double>(endNs) * 1e-9);
    return 0;
}
