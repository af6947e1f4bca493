#include "testMedia.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace testmedia {

namespace {

std::string quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fluxaro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        std::abort();
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string shell(const std::string &command, int *status) {
    std::string output;
    std::FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (status)
            *status = -1;
        return output;
    }
    std::array<char, 4096> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        output.append(buffer.data(), got);
    const int raw = pclose(pipe);
    if (status)
        *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

bool ffmpeg(const std::string &arguments, const std::string &output) {
    int status = 0;
    shell("/usr/bin/ffmpeg -nostdin -hide_banner -loglevel error -y " + arguments + " " +
              quote(output),
          &status);
    return status == 0;
}

std::string probe(const std::string &path, const std::string &streams, const std::string &entries) {
    std::string out = shell("ffprobe -v error -select_streams " + streams + " -show_entries " +
                            entries + " -of compact=p=0 " + quote(path));
    while (!out.empty() && (out.back() == '\n' || out.back() == '|'))
        out.pop_back();
    return out;
}

long countFrames(const std::string &path, const std::string &streams) {
    const std::string out =
        shell("ffprobe -v error -count_packets -select_streams " + streams +
              " -show_entries stream=nb_read_packets -of csv=p=0 " + quote(path));
    return out.empty() ? -1 : std::strtol(out.c_str(), nullptr, 10);
}

double streamDuration(const std::string &path, const std::string &streams) {
    const std::string out = shell("ffprobe -v error -select_streams " + streams +
                                  " -show_entries stream=duration -of csv=p=0 " + quote(path));
    if (out.empty() || out.rfind("N/A", 0) == 0)
        return -1;
    return std::strtod(out.c_str(), nullptr);
}

RunResult run(const std::string &program, const std::vector<std::string> &arguments,
              const RunOptions &options) {
    RunResult result;
    std::array<int, 2> in{}, out{}, err{};
    if (pipe(in.data()) || pipe(out.data()) || pipe(err.data()))
        return result;
    int terminal = -1;
    pid_t pid = 0;
    if (options.stdoutIsTerminal || options.stdinIsTerminal)
        pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    else
        pid = fork();
    if (pid < 0)
        return result;
    if (pid == 0) {
        if (!options.stdinIsTerminal)
            dup2(in[0], STDIN_FILENO);
        if (!options.stdoutIsTerminal)
            dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        if (!options.folder.empty() && chdir(options.folder.c_str()) != 0)
            _exit(127);
        if (options.fileSizeLimit >= 0) {
            // Writes past the limit fail with EFBIG, as on a full disk.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                               static_cast<rlim_t>(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (const std::string &change : options.environment) {
            const auto equals = change.find('=');
            if (equals == std::string::npos)
                unsetenv(change.c_str());
            else
                setenv(change.substr(0, equals).c_str(), change.c_str() + equals + 1, 1);
        }
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &a : arguments)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    const int inputFd = options.stdinIsTerminal ? terminal : in[1];
    if (!options.input.empty() && write(inputFd, options.input.data(), options.input.size()) < 0) {
        // The program may not read its input; that is no failure of the run.
    }
    close(in[1]);
    const int outFd = options.stdoutIsTerminal ? terminal : out[0];
    std::array<pollfd, 2> fds{{{outFd, POLLIN, 0}, {err[0], POLLIN, 0}}};
    std::array<std::string *, 2> sinks{&result.out, &result.err};
    int open = 2;
    // A program that waits for input it never gets is killed rather than hanging the suite.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(4);
    while (open > 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            std::array<char, 4096> buffer{};
            const ssize_t got = read(fds[i].fd, buffer.data(), buffer.size());
            if (got > 0) {
                sinks[i]->append(buffer.data(), static_cast<std::size_t>(got));
                if (!options.killWhenErrContains.empty() &&
                    result.err.find(options.killWhenErrContains) != std::string::npos)
                    kill(pid, SIGKILL);
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    close(out[0]);
    close(err[0]);
    if (terminal >= 0)
        close(terminal);
    int raw = 0;
    waitpid(pid, &raw, 0);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

bool supportsUserXattr(const std::string &folder) {
    const std::string probeFile = folder + "/.xattr-probe";
    std::FILE *f = std::fopen(probeFile.c_str(), "w");
    if (!f)
        return false;
    std::fclose(f);
    const bool ok = setxattr(probeFile.c_str(), "user.probe", "1", 1, 0) == 0;
    std::remove(probeFile.c_str());
    return ok;
}

std::string xattr(const std::string &path, const std::string &name) {
    std::array<char, 256> value{};
    const ssize_t size = getxattr(path.c_str(), name.c_str(), value.data(), value.size());
    return size > 0 ? std::string(value.data(), static_cast<std::size_t>(size)) : std::string();
}

std::pair<int, std::uint64_t> headerTime(const std::string &path, const char *type) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const auto at = bytes.rfind(type);
    if (at == std::string::npos || at + 16 > bytes.size()) {
        return {-1, 0};
    }
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i]));
    };
    const int version = static_cast<int>(byte(at + 4));
    std::uint64_t time = 0;
    for (std::size_t i = 0; i < (version == 1 ? 8U : 4U); ++i) {
        time = (time << 8) | byte(at + 8 + i);
    }
    return {version, time};
}

} // namespace testmedia
