#include "app/DisplayProbe.h"
#include "core/Text.h"
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace sf {

namespace {

long long NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

// The first line the child said that is not blank.
std::string FirstLine(const std::string& text)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        if (!line.empty())
            return line;
        start = end + 1;
    }
    return {};
}

} // namespace

TDisplayProbe ProbeDisplay(const std::function<void()>& connect, int timeoutMs)
{
    TDisplayProbe result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        result.Reason = std::string("cannot try the display: ") + std::strerror(errno);
        return result;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        result.Reason = std::string("cannot try the display: ") + std::strerror(errno);
        close(fds[0]);
        close(fds[1]);
        return result;
    }
    if (pid == 0) {
        // The child only connects; what the platform plugin says goes to the parent.
        dup2(fds[1], STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0)
            dup2(null, STDOUT_FILENO);
        connect();
        _exit(0); // no destructors: the connection dies with the child
    }
    close(fds[1]);
    std::string said;
    int status = 0;
    bool ended = false;
    const long long deadline = NowMs() + timeoutMs;
    bool reading = true;
    while (!ended) {
        const long long left = deadline - NowMs();
        if (left <= 0)
            break;
        if (reading) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, (int)std::min(left, 50LL)) > 0) {
                char buffer[1024];
                const ssize_t n = read(fds[0], buffer, sizeof buffer);
                if (n > 0 && said.size() < 8192)
                    said.append(buffer, (size_t)n);
                else if (n == 0)
                    reading = false;
            }
        } else {
            usleep(10000);
        }
        ended = waitpid(pid, &status, WNOHANG) == pid;
    }
    close(fds[0]);
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        result.Reason = "the display did not answer within " + std::to_string(timeoutMs / 1000) + " s";
        return result;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        result.Usable = true;
        return result;
    }
    result.Reason = FirstLine(said);
    if (result.Reason.empty())
        result.Reason = WIFSIGNALED(status) ? "the window system ended the attempt (signal "
                                                  + std::to_string(WTERMSIG(status)) + ")"
                                            : "the window system refused the connection";
    return result;
}

} // namespace sf
