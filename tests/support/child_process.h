// A forked child process for tests of cross-process behaviour, with a byte
// channel in each direction. The child runs `body` and exits with its result;
// it never returns into the test framework.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace kv::test {

class ChildProcess {
  public:
    explicit ChildProcess(const std::function<int(ChildProcess&)>& body) {
        if (pipe(toParent_) != 0 || pipe(toChild_) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(toParent_[0]);
            close(toChild_[1]);
            _exit(body(*this));
        }
        close(toParent_[1]);
        close(toChild_[0]);
        toParent_[1] = toChild_[0] = -1;
    }
    ~ChildProcess() {
        if (pid_ > 0 && !waited_) {
            Kill();
        }
        CloseAll();
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // Child side.
    void Signal(char c) { [[maybe_unused]] auto n = write(toParent_[1], &c, 1); }
    char WaitForParent() { return ReadByte(toChild_[0]); }

    // Parent side. WaitForChild answers 0 when the child ended without a byte.
    char WaitForChild() { return ReadByte(toParent_[0]); }
    void Tell(char c) { [[maybe_unused]] auto n = write(toChild_[1], &c, 1); }
    // True when the child has sent a byte that was not read yet.
    bool HasSignalled() {
        pollfd ready{toParent_[0], POLLIN, 0};
        return poll(&ready, 1, 0) == 1 && (ready.revents & POLLIN) != 0;
    }
    void Kill() {
        kill(pid_, SIGKILL);
        Wait();
    }
    // The child's exit code; -1 when it did not exit normally.
    int Wait() {
        if (waited_) {
            return status_;
        }
        int status = 0;
        pid_t done;
        do {
            done = waitpid(pid_, &status, 0);
        } while (done < 0 && errno == EINTR);
        waited_ = true;
        if (done != pid_) {
            return status_;
        }
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return status_;
    }

  private:
    static char ReadByte(int fd) {
        char c = 0;
        return read(fd, &c, 1) == 1 ? c : 0;
    }
    void CloseAll() {
        for (int fd : {toParent_[0], toParent_[1], toChild_[0], toChild_[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    int toParent_[2] = {-1, -1};
    int toChild_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool waited_ = false;
    int status_ = -1;
};

}  // namespace kv::test
