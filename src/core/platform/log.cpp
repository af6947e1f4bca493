#include "platform/log.h"

#include "platform/constants.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

// The lines logged before the redirection, kept for the log when the terminal must not get them.
std::mutex gHeldMutex;
std::optional<QByteArray> gHeld;

} // namespace

void logHoldUntilRedirect() {
    const std::lock_guard<std::mutex> lock(gHeldMutex);
    if (!gHeld) {
        gHeld.emplace();
    }
}

void logStr(const QString &line) {
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    {
        const std::lock_guard<std::mutex> lock(gHeldMutex);
        if (gHeld) {
            gHeld->append(bytes);
            return;
        }
    }
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

void logDebug(const QString &line) {
    if (getDEBUG()) {
        logStr(line);
    }
}

QString logFolderPathStr() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state)) {
        state = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return QDir::cleanPath(state + QLatin1Char('/') + appNameStr());
}

QString logDetailsPathStr() {
    return logFolderPathStr() + QStringLiteral("/Details.log");
}

QString logResumePathStr() {
    return logFolderPathStr() + QStringLiteral("/Resume.log");
}

bool logRotate() {
    const QString folder = logFolderPathStr();
    if (!QDir().mkpath(folder)) {
        return false;
    }
    bool ok = true;
    for (const QString &name : {QStringLiteral("Resume.log"), QStringLiteral("Details.log")}) {
        const QString current = folder + QLatin1Char('/') + name;
        const QString previous = QStringLiteral("%1/Previous-%2").arg(folder, name);
        if (!QFile::exists(current)) {
            continue;
        }
        if (QFile::exists(previous) && !QFile::remove(previous)) {
            ok = false;
            continue;
        }
        ok = QFile::rename(current, previous) && ok;
    }
    return ok;
}

namespace {

// "2011-06-15 14:30:05 +0200": the date as the summary log shows it.
QString dateWithZoneStr(const QDateTime &date) {
    const int32_t offset = date.offsetFromUtc() / 60;
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1%2")
               .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

bool logResume(const std::optional<QString> &text) {
    const QString path = logResumePathStr();
    if (!QFile::exists(path)) {
        QFile created(path);
        if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            std::fputs("Impossible to create destination file !\n", stderr);
            return false;
        }
        QByteArray start("\xEF\xBB\xBF");
        start += QStringLiteral("start date    : %1")
                     .arg(dateWithZoneStr(QDateTime::currentDateTime()))
                     .toUtf8();
        if (created.write(start) != start.size()) {
            return false;
        }
    }
    if (!text || text->isEmpty()) {
        return true;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const QByteArray bytes = text->toUtf8();
    return file.write(bytes) == bytes.size();
}

namespace {

// The redirection of the standard streams: both are pipes read by one thread, which writes each
// line, prefixed, to the log file (and, with tee, unprefixed to the original stream).
struct Redirection {
    int logFd = -1;
    std::array<int, 2> original = {-1, -1}; // the original stdout and stderr
    std::array<int, 2> readEnds = {-1, -1}; // what stdout and stderr write into
    std::array<int, 2> stopPipe = {-1, -1};
    bool tee = false;
    std::string prefixTail; // " <name>[<pid>] "
    std::thread reader;
};

Redirection *gRedirection = nullptr;
bool gRedirected = false;

void writeAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

std::string linePrefix(const Redirection &r) {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    std::array<char, 64> date{};
    const size_t len = std::strftime(date.data(), date.size(), "%Y-%m-%d %H:%M:%S", &local);
    std::array<char, 8> millis{};
    std::snprintf(millis.data(), millis.size(), ".%03d", static_cast<int>(now.tv_usec / 1000));
    return std::string(date.data(), len) + millis.data() + r.prefixTail;
}

void emitLine(const Redirection &r, size_t stream, const std::string &line) {
    const std::string entry = linePrefix(r) + line + '\n';
    writeAll(r.logFd, entry.data(), entry.size());
    if (r.tee) {
        // A file name in a log line must not reach the terminal's controls; a tool's carriage
        // returns (ffmpeg rewrites its progress line) become line breaks.
        for (const QByteArray &part : QByteArray::fromStdString(line).split('\r')) {
            const QByteArray safe = logTerminalSafe(part) + '\n';
            writeAll(r.original.at(stream), safe.constData(), static_cast<size_t>(safe.size()));
        }
    }
}

// Reads what is there on one stream; returns false at its end (or on an error).
bool drainStream(const Redirection &r, size_t stream, std::string &pending) {
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(r.readEnds.at(stream), buffer.data(), buffer.size());
        if (n > 0) {
            pending.append(buffer.data(), static_cast<size_t>(n));
            size_t start = 0;
            for (size_t nl = pending.find('\n'); nl != std::string::npos;
                 nl = pending.find('\n', start)) {
                emitLine(r, stream, pending.substr(start, nl - start));
                start = nl + 1;
            }
            pending.erase(0, start);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        return false;
    }
}

void readerLoop(Redirection *r) {
    std::array<std::string, 2> pending;
    std::array<bool, 2> open = {r->readEnds[0] >= 0, r->readEnds[1] >= 0};
    bool stopping = false;
    while (!stopping && (open[0] || open[1])) {
        std::array<pollfd, 3> fds{};
        fds[0] = {open[0] ? r->readEnds[0] : -1, POLLIN, 0};
        fds[1] = {open[1] ? r->readEnds[1] : -1, POLLIN, 0};
        fds[2] = {r->stopPipe[0], POLLIN, 0};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (size_t s = 0; s < 2; ++s) {
            if (open.at(s) && (fds.at(s).revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                open.at(s) = drainStream(*r, s, pending.at(s));
            }
        }
        stopping = (fds[2].revents & (POLLIN | POLLHUP)) != 0;
    }
    // Whatever is still in the pipes was written before the stop: keep it.
    for (size_t s = 0; s < 2; ++s) {
        if (open.at(s)) {
            drainStream(*r, s, pending.at(s));
        }
        if (!pending.at(s).empty()) {
            emitLine(*r, s, pending.at(s));
        }
    }
}

void closeFd(int &fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

void stopAtExit() {
    logStopRedirect();
}

} // namespace

bool redirectLogs2File(const QString &path, bool teeToTerminal) {
    if (gRedirected) {
        logStr(QStringLiteral("if (newStdout || newStderr)"));
        return false;
    }
    logStr(QStringLiteral("redirectStdoutToFile…"));
    auto *r = new Redirection;
    r->tee = teeToTerminal;
    r->prefixTail = QStringLiteral(" %1[%2] ").arg(appNameStr()).arg(::getpid()).toStdString();
    r->logFd = ::open(QFile::encodeName(path).constData(),
                      O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    std::array<int, 2> outPipe = {-1, -1};
    std::array<int, 2> errPipe = {-1, -1};
    // Without tee, both streams share one pipe so the log keeps the order in which lines were
    // written; with tee, each stream has its own so its lines go back to where they belong.
    const bool ready = r->logFd >= 0 && ::pipe2(outPipe.data(), O_CLOEXEC) == 0 &&
                       (!teeToTerminal || ::pipe2(errPipe.data(), O_CLOEXEC) == 0) &&
                       ::pipe2(r->stopPipe.data(), O_CLOEXEC) == 0 &&
                       (r->original[0] = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3)) >= 0 &&
                       (r->original[1] = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3)) >= 0;
    if (!ready) {
        for (int *fd : {&r->logFd, &outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1],
                        &r->stopPipe[0], &r->stopPipe[1], &r->original[0], &r->original[1]}) {
            closeFd(*fd);
        }
        delete r;
        // No log to keep them for: the held lines, and those to come, go where they were.
        const std::lock_guard<std::mutex> lock(gHeldMutex);
        if (gHeld) {
            writeAll(STDERR_FILENO, gHeld->constData(), static_cast<size_t>(gHeld->size()));
            gHeld.reset();
        }
        return false;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // dup2 gives descriptors 1 and 2 without close-on-exec: child processes write into the
    // pipes too, so their output lands in the log as well.
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(teeToTerminal ? errPipe[1] : outPipe[1], STDERR_FILENO);
    closeFd(outPipe[1]);
    closeFd(errPipe[1]);
    r->readEnds = {outPipe[0], errPipe[0]};
    for (const int fd : r->readEnds) {
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
    }
    // A pipe would make stdout fully buffered; lines must reach the log as they are written.
    // (This takes effect when nothing was printed on stdout yet, as at start-up; later
    // callers flush stdout themselves.)
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    r->reader = std::thread(readerLoop, r);
    gRedirection = r;
    gRedirected = true;
    {
        // What was held back goes to the log, first.
        const std::lock_guard<std::mutex> lock(gHeldMutex);
        if (gHeld) {
            writeAll(STDERR_FILENO, gHeld->constData(), static_cast<size_t>(gHeld->size()));
            gHeld.reset();
        }
    }
    static const bool registered = std::atexit(stopAtExit) == 0;
    (void)registered;
    return true;
}

void logStopRedirect() {
    Redirection *r = gRedirection;
    if (r == nullptr) {
        return;
    }
    gRedirection = nullptr;
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(r->original[0], STDOUT_FILENO);
    ::dup2(r->original[1], STDERR_FILENO);
    writeAll(r->stopPipe[1], "x", 1);
    r->reader.join();
    for (int *fd : {&r->logFd, &r->readEnds[0], &r->readEnds[1], &r->stopPipe[0], &r->stopPipe[1],
                    &r->original[0], &r->original[1]}) {
        closeFd(*fd);
    }
    delete r;
}

QByteArray logTerminalSafe(const QByteArray &utf8) {
    QByteArray safe;
    safe.reserve(utf8.size());
    auto escaped = [&safe](unsigned value) {
        std::array<char, 8> text{};
        std::snprintf(text.data(), text.size(), "\\x%02x", value);
        safe.append(text.data());
    };
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8.at(i));
        if (byte < 0x20 || byte == 0x7f) {
            escaped(byte);
        } else if (byte == 0xc2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8.at(i + 1)) >= 0x80 &&
                   static_cast<unsigned char>(utf8.at(i + 1)) < 0xa0) {
            // U+0080 to U+009F: the 8-bit controls (a CSI among them) in UTF-8.
            escaped(static_cast<unsigned char>(utf8.at(++i)));
        } else {
            safe.append(static_cast<char>(byte));
        }
    }
    return safe;
}

bool logTerminalIsTty() {
    const Redirection *r = gRedirection;
    return ::isatty(r != nullptr ? r->original[0] : STDOUT_FILENO) == 1;
}

void logTerminalWrite(const QByteArray &text, const QString &logged) {
    Redirection *r = gRedirection;
    if (r == nullptr) {
        std::fflush(stdout);
        writeAll(STDOUT_FILENO, text.constData(), static_cast<size_t>(text.size()));
        return;
    }
    writeAll(r->original[0], text.constData(), static_cast<size_t>(text.size()));
    if (!logged.isEmpty()) {
        const std::string entry = linePrefix(*r) + logged.toStdString() + '\n';
        writeAll(r->logFd, entry.data(), entry.size());
    }
}
