// SPDX-License-Identifier: GPL-3.0-or-later
// Start to first paint: runs `qob-editor --screenshot` (with the skin already in its cache folder,
// and as a first start with an empty one) and the bare window in turn, each as a fresh process,
// and reports wall time and peak resident memory of each.
#include <sys/resource.h>
#include <sys/wait.h>

#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kWarmUpRuns = 2;
constexpr int kRuns = 15;
constexpr double kTimeGoal = 1.3; // editor / bare window, medians
constexpr double kRssGoalMb = 45.0;

struct Run {
    double ms = 0;
    double rssMb = 0;
};

// One process from spawn to exit; its own peak RSS from wait4.
Run runOnce(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror(program.c_str());
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed (status %d)\n", program.c_str(), status);
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(),
            static_cast<double>(usage.ru_maxrss) / 1024.0};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Series {
    const char* name;
    std::string program;
    std::vector<double> ms;
    double peakRssMb = 0;
};

} // namespace

int main() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qob-startup-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string shot = (dir / "shot.png").string();
    // No display needed, and no warning about a missing runtime folder in the timings.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 0);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);

    // The editor keeps its rendered skin in the user's cache folder: give it one of our own, kept
    // between runs, and an empty one for each first start.
    const std::string warmCache = (dir / "cache").string();
    const std::string coldCache = (dir / "first-start-cache").string();

    Series editor{"qob-editor --screenshot", QOB_EDITOR, {}, 0};
    Series firstStart{"  first start (no cache)", QOB_EDITOR, {}, 0};
    Series bare{"bare window", QOB_BARE_WINDOW, {}, 0};
    const auto once = [&](Series& s, bool keep) {
        Run r;
        if (&s == &bare) {
            r = runOnce(s.program, {shot});
        } else {
            const bool cold = &s == &firstStart;
            if (cold)
                std::filesystem::remove_all(coldCache);
            setenv("XDG_CACHE_HOME", (cold ? coldCache : warmCache).c_str(), 1);
            r = runOnce(s.program, {"--screenshot", shot});
        }
        if (keep) {
            s.ms.push_back(r.ms);
            s.peakRssMb = std::max(s.peakRssMb, r.rssMb);
        }
    };
    for (int i = 0; i < kWarmUpRuns; ++i) {
        once(editor, false);
        once(firstStart, false);
        once(bare, false);
    }
    // In turn, so all see the same machine load.
    for (int i = 0; i < kRuns; ++i) {
        once(editor, true);
        once(bare, true);
        once(firstStart, true);
    }
    std::filesystem::remove_all(dir);

    std::printf("start to first paint, %d runs each (wall time from spawn to exit)\n", kRuns);
    for (const Series* s : {&editor, &firstStart, &bare})
        std::printf("  %-26s median %7.1f ms  min %7.1f ms  peak RSS %5.1f MB\n", s->name,
                    median(s->ms), *std::min_element(s->ms.begin(), s->ms.end()), s->peakRssMb);
    const double ratio = median(editor.ms) / median(bare.ms);
    const double firstRatio = median(firstStart.ms) / median(bare.ms);
    const double peakRss = std::max(editor.peakRssMb, firstStart.peakRssMb);
    std::printf("  editor / bare window: %.2f (goal <= %.1f), first start %.2f; editor peak RSS "
                "%.1f MB (goal <= %.0f MB)\n",
                ratio, kTimeGoal, firstRatio, peakRss, kRssGoalMb);
    return 0;
}
