// Running a helper program without a shell: fork, exec, and a pipe for its output.
#include "maker/hhc/process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace folio::chm {

Result<ProcessResult> runProcess(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& folder, const std::function<void()>& idle) {
    int out[2], report[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return fail(std::string("cannot create a pipe: ") + std::strerror(errno));
    if (::pipe2(report, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return fail(std::string("cannot create a pipe: ") + std::strerror(errno));
    }
    std::vector<std::string> argvStore{program};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Child: only async-signal-safe calls until exec. A failure goes back as errno
        // through `report`, which a successful exec closes unread.
        int err = 0;
        if (::chdir(folder.c_str()) != 0 || ::dup2(out[1], 1) < 0 || ::dup2(out[1], 2) < 0) {
            err = errno;
        } else {
            ::execvp(argv[0], argv.data());
            err = errno;
        }
        [[maybe_unused]] auto n = ::write(report[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(report[1]);
    if (pid < 0) {
        ::close(out[0]);
        ::close(report[0]);
        return fail("cannot start " + program + ": " + std::strerror(errno));
    }

    ProcessResult r;
    char buf[4096];
    for (;;) {
        pollfd p{out[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, idle ? 50 : -1);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0) {
            const ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n > 0)
                r.output.append(buf, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                break;
        }
        if (idle)
            idle();
    }
    ::close(out[0]);
    int childErr = 0;
    const ssize_t got = ::read(report[0], &childErr, sizeof childErr);
    ::close(report[0]);
    int wstatus = 0;
    while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof childErr))
        return fail("cannot start " + program + " in " + folder + ": " + std::strerror(childErr));
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return r;
}

} // namespace folio::chm
