#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

// kvscale run as a process of its own, as a shell would: its output caught in files, with the
// limits a test plays (a full disk, little memory, a working folder) and a watchdog that ends a run
// that would hang.
namespace kv::test {

struct ProcessRun {
    int status = -1;  // the exit status; -1 when a signal ended the process
    int signal = 0;   // the signal that ended it
    std::string out;
    std::string err;
    long peakKilobytes = 0;  // the process's peak resident size
};

struct ProcessOptions {
    std::optional<std::filesystem::path> workingFolder;
    std::optional<rlim_t> fileSizeLimit;     // RLIMIT_FSIZE; SIGXFSZ keeps its default action
    std::optional<rlim_t> addressSpaceLimit; // RLIMIT_AS
    unsigned watchdogSeconds = 60;           // SIGALRM ends a run that takes longer
};

// A started kvscale; Wait() collects it.
class KvscaleProcess {
public:
    KvscaleProcess(const std::filesystem::path& scratch, std::vector<std::string> words, const ProcessOptions& options = {})
        : out_(scratch / (".stdout-" + std::to_string(counter_))), err_(scratch / (".stderr-" + std::to_string(counter_))) {
        ++counter_;
        words.insert(words.begin(), KVSCALE_PATH);
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int o = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(o, 1);
            ::dup2(e, 2);
            if (options.workingFolder && ::chdir(options.workingFolder->c_str()) != 0) ::_exit(126);
            if (options.fileSizeLimit) {
                const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (options.addressSpaceLimit) {
                const rlimit limit{*options.addressSpaceLimit, *options.addressSpaceLimit};
                ::setrlimit(RLIMIT_AS, &limit);
            }
            ::alarm(options.watchdogSeconds);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    KvscaleProcess(const KvscaleProcess&) = delete;
    KvscaleProcess& operator=(const KvscaleProcess&) = delete;
    ~KvscaleProcess() {
        if (!waited_) Wait();
    }

    pid_t pid() const { return pid_; }

    ProcessRun Wait() {
        ProcessRun run;
        int wstatus = 0;
        rusage usage{};
        ::wait4(pid_, &wstatus, 0, &usage);
        waited_ = true;
        run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        run.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
        run.peakKilobytes = usage.ru_maxrss;
        run.out = Text(out_);
        run.err = Text(err_);
        std::filesystem::remove(out_);
        std::filesystem::remove(err_);
        return run;
    }

private:
    static std::string Text(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static inline int counter_ = 0;
    std::filesystem::path out_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    bool waited_ = false;
};

inline ProcessRun RunKvscaleProcess(const std::filesystem::path& scratch, std::vector<std::string> words,
                                    const ProcessOptions& options = {}) {
    return KvscaleProcess(scratch, std::move(words), options).Wait();
}

}  // namespace kv::test
