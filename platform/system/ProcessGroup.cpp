#include "platform/system/ProcessGroup.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

namespace platform {

struct ProcessGroup::Child {
  pid_t pid = -1;
  int fd[2] = {-1, -1};  // standard output, standard error
  std::string partial[2];
  bool ended = false;
  int status = 0;
};

namespace {

int DecodeStatus(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return 1;
}

}  // namespace

ProcessGroup::~ProcessGroup() {
  for (Child* c : children_) {
    for (int& fd : c->fd)
      if (fd >= 0) ::close(fd);
    if (!c->ended && c->pid > 0) {
      ::kill(c->pid, SIGKILL);
      ::waitpid(c->pid, nullptr, 0);
    }
    delete c;
  }
}

int ProcessGroup::Start(const std::vector<std::string>& args) {
  if (args.empty()) return -1;
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return -1;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return -1;
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(128 + SIGTERM);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0) ::dup2(null, STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  if (pid < 0) {
    ::close(out[0]);
    ::close(err[0]);
    return -1;
  }
  Child* c = new Child;
  c->pid = pid;
  c->fd[0] = out[0];
  c->fd[1] = err[0];
  std::lock_guard<std::mutex> guard(lock_);
  children_.push_back(c);
  ++running_;
  return static_cast<int>(children_.size()) - 1;
}

// Reads what one pipe has; queues its complete lines (and, at its end, the rest).
void ProcessGroup::ReadPipe(Child& c, int which) {
  char buf[4096];
  ssize_t n = ::read(c.fd[which], buf, sizeof buf);
  if (n < 0 && errno == EINTR) return;
  int index = -1;
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i] == &c) index = static_cast<int>(i);
  const Event::Kind kind = which == 0 ? Event::kOutLine : Event::kErrLine;
  if (n <= 0) {
    if (!c.partial[which].empty()) pending_.push_back({kind, index, c.partial[which], 0});
    c.partial[which].clear();
    ::close(c.fd[which]);
    c.fd[which] = -1;
    return;
  }
  std::string& part = c.partial[which];
  part.append(buf, static_cast<size_t>(n));
  size_t start = 0;
  for (size_t lf; (lf = part.find('\n', start)) != std::string::npos; start = lf + 1)
    pending_.push_back({kind, index, part.substr(start, lf - start), 0});
  part.erase(0, start);
}

int ProcessGroup::Pid(int child) const {
  return child >= 0 && child < static_cast<int>(children_.size()) ? children_[child]->pid : -1;
}

void ProcessGroup::Signal(int signal) {
  std::lock_guard<std::mutex> guard(lock_);
  for (Child* c : children_)
    if (!c->ended && c->pid > 0) ::kill(c->pid, signal);
}

void ProcessGroup::Signal(int child, int signal) {
  std::lock_guard<std::mutex> guard(lock_);
  if (child < 0 || child >= static_cast<int>(children_.size())) return;
  Child* c = children_[child];
  if (!c->ended && c->pid > 0) ::kill(c->pid, signal);
}

bool ProcessGroup::Next(Event* event, int wakeFd, int idleMs) {
  for (;;) {
    if (!pending_.empty()) {
      *event = pending_.front();
      pending_.erase(pending_.begin());
      return true;
    }
    std::vector<pollfd> fds;
    std::vector<std::pair<Child*, int>> owners;
    for (Child* c : children_)
      for (int which = 0; which < 2; ++which)
        if (c->fd[which] >= 0) {
          fds.push_back({c->fd[which], POLLIN, 0});
          owners.push_back({c, which});
        }
    // A child is reported ended once both of its pipes are closed, so its last words come
    // before its end. One that closed them and lives on is looked at again shortly.
    bool unreaped = false;
    for (size_t i = 0; i < children_.size(); ++i) {
      Child* c = children_[i];
      if (c->ended || c->fd[0] >= 0 || c->fd[1] >= 0) continue;
      // Reaped under the lock, so that Signal never hits a number the system gave away; the
      // look does not wait, so the lock is never held for long.
      std::lock_guard<std::mutex> guard(lock_);
      int raw = 0;
      pid_t r;
      do r = ::waitpid(c->pid, &raw, WNOHANG);
      while (r < 0 && errno == EINTR);
      if (r == 0) {
        unreaped = true;
        continue;
      }
      c->ended = true;
      --running_;
      c->status = r == c->pid ? DecodeStatus(raw) : 1;
      *event = {Event::kEnded, static_cast<int>(i), "", c->status};
      return true;
    }
    if (fds.empty() && !unreaped) return false;
    if (wakeFd >= 0) fds.push_back({wakeFd, POLLIN, 0});
    int bound = idleMs;
    if (unreaped && (bound < 0 || bound > 20)) bound = 20;
    int ready = ::poll(fds.data(), fds.size(), bound);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (ready == 0 && idleMs >= 0 && !unreaped) {
      *event = {Event::kIdle, -1, "", 0};
      return true;
    }
    for (size_t i = 0; i < owners.size(); ++i)
      if (fds[i].revents != 0) ReadPipe(*owners[i].first, owners[i].second);
    if (wakeFd >= 0 && fds.back().revents != 0) {
      *event = {Event::kWake, -1, "", 0};
      return true;
    }
  }
}

}  // namespace platform
