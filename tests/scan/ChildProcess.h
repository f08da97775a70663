#pragma once

// Runs part of a test in a forked child process, for what a test must not impose on itself:
// another user's rights (permission bits do not stop root, who runs CI) or a lowered
// open-file limit. The child hands back a text, which the test compares.

#include <cstdio>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace childprocess {

constexpr uid_t Nobody = 65534;

struct Conditions {
    // Become the user nobody first (only possible, and only needed, when running as root).
    bool AsNobody = false;
    // Lower the open-file limit to this, when not 0.
    rlim_t OpenFileLimit = 0;
    // Lower the limit of the user's processes and threads to this, when not 0 (it binds
    // only users other than root).
    rlim_t ProcessLimit = 0;
};

// Runs `work` in a child process under `conditions` and returns its text, or a text that
// says what went wrong (which no test expects).
inline std::string Run(const Conditions& conditions, const std::function<std::string()>& work) {
    int channel[2];
    if (pipe(channel) != 0)
        return "no pipe";
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0)
        return "no child process";
    if (child == 0) {
        close(channel[0]);
        std::string text;
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = conditions.OpenFileLimit;
        if (conditions.AsNobody &&
            (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0))
            text = "could not become nobody";
        else if (conditions.OpenFileLimit != 0 && setrlimit(RLIMIT_NOFILE, &limit) != 0)
            text = "could not lower the open-file limit";
        else if (conditions.ProcessLimit != 0 &&
                 setrlimit(RLIMIT_NPROC,
                           &(limit = {conditions.ProcessLimit, conditions.ProcessLimit})) != 0)
            text = "could not lower the process limit";
        else
            text = work();
        const ssize_t written = write(channel[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<size_t>(got));
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        answer += "\n(the child failed)";
    return answer;
}

} // namespace childprocess
