#include "platform/ChildProcesses.h"

#include <QFile>
#include <QProcess>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvex::ChildProcesses {

namespace {

void closeDescriptor(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// Moves a descriptor to 3 or above (keeping close-on-exec), so that placing one on a standard stream in
// the child never overwrites another that is still to be placed.
int aboveStandardStreams(int fd) {
    if (fd < 0 || fd > STDERR_FILENO)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    return moved;
}

bool makePipe(int (&ends)[2]) {
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    ends[0] = aboveStandardStreams(ends[0]);
    ends[1] = aboveStandardStreams(ends[1]);
    return ends[0] >= 0 && ends[1] >= 0;
}

// Everything the child needs, made before the fork: after it, the child makes system calls only.
struct ChildPlan {
    QByteArray path;
    std::vector<QByteArray> argumentBytes;
    std::vector<char *> argv;
    std::vector<QByteArray> environmentBytes;
    std::vector<char *> envp;
    // What goes on standard input, output and error; -1 leaves this process's own.
    int streams[3] = {-1, -1, -1};
    // Close-on-exec: the child writes errno here when it cannot exec, and the parent reads end of file
    // once it has.
    int failureReport = -1;
    pid_t parent = 0;
    // For kernels without close_range().
    int highestDescriptor = 1024;
    sigset_t noSignals;
};

[[noreturn]] void reportFailureAndExit(const ChildPlan &plan) {
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(plan.failureReport, &error, sizeof error);
    ::_exit(127);
}

void closeInheritedDescriptors(const ChildPlan &plan) {
    const int keep = plan.failureReport;
    const bool closed = (keep <= 3 || ::close_range(3, static_cast<unsigned>(keep - 1), 0) == 0) &&
                        ::close_range(static_cast<unsigned>(keep + 1), UINT_MAX, 0) == 0;
    if (closed)
        return;
    for (int fd = 3; fd <= plan.highestDescriptor; ++fd)
        if (fd != keep)
            ::close(fd);
}

[[noreturn]] void runChild(const ChildPlan &plan) {
    // All signals arrive blocked (the parent blocked them around the fork): no handler of ours runs here.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        if (signal != SIGKILL && signal != SIGSTOP)
            ::sigaction(signal, &defaultAction, nullptr);
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent ended before the line above: no signal would ever come.
    if (::getppid() != plan.parent)
        ::_exit(127);
    for (int target = STDIN_FILENO; target <= STDERR_FILENO; ++target)
        if (plan.streams[target] >= 0 && ::dup2(plan.streams[target], target) < 0)
            reportFailureAndExit(plan);
    closeInheritedDescriptors(plan);
    ::sigprocmask(SIG_SETMASK, &plan.noSignals, nullptr);
    ::execve(plan.path.constData(), plan.argv.data(), plan.envp.data());
    reportFailureAndExit(plan);
}

std::optional<Spawned> startChild(ChildPlan &plan, Stream input, Stream output) {
    int inputPipe[2] = {-1, -1};
    int outputPipe[2] = {-1, -1};
    int report[2] = {-1, -1};
    int null = -1;
    auto closeAll = [&] {
        for (int *fd :
             {&inputPipe[0], &inputPipe[1], &outputPipe[0], &outputPipe[1], &report[0], &report[1], &null})
            closeDescriptor(*fd);
    };
    null = aboveStandardStreams(::open("/dev/null", O_RDWR | O_CLOEXEC));
    if (null < 0 || (input == Stream::pipe && !makePipe(inputPipe)) ||
        (output == Stream::pipe && !makePipe(outputPipe)) || !makePipe(report)) {
        closeAll();
        return std::nullopt;
    }
    plan.streams[STDIN_FILENO] = input == Stream::pipe ? inputPipe[0] : input == Stream::null ? null : -1;
    plan.streams[STDOUT_FILENO] = output == Stream::pipe ? outputPipe[1] : output == Stream::null ? null : -1;
    plan.streams[STDERR_FILENO] = null;
    plan.failureReport = report[1];
    plan.parent = ::getpid();

    sigset_t all;
    sigfillset(&all);
    sigset_t previous;
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0)
        runChild(plan);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    closeDescriptor(inputPipe[0]);
    closeDescriptor(outputPipe[1]);
    closeDescriptor(report[1]);
    closeDescriptor(null);
    if (pid < 0) {
        closeAll();
        return std::nullopt;
    }

    int childError = 0;
    ssize_t reported;
    do {
        reported = ::read(report[0], &childError, sizeof childError);
    } while (reported < 0 && errno == EINTR);
    closeDescriptor(report[0]);
    if (reported != 0) {
        // It could not exec and has ended (or is about to).
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        closeAll();
        return std::nullopt;
    }
    Spawned child{.pid = pid, .inputWrite = inputPipe[1], .outputRead = outputPipe[0]};
    for (const int fd : {child.inputWrite, child.outputRead})
        if (fd >= 0)
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return child;
}

// The one thread that starts children, made on first use and never ended.
class SpawningThread {
public:
    static SpawningThread &instance() {
        // Never destroyed: its thread waits on these members until the process ends.
        static SpawningThread *const thread = new SpawningThread;
        return *thread;
    }

    std::optional<Spawned> run(std::function<std::optional<Spawned>()> work) {
        std::packaged_task<std::optional<Spawned>()> task(std::move(work));
        std::future<std::optional<Spawned>> answer = task.get_future();
        {
            const std::lock_guard guard(mutex_);
            tasks_.push_back(std::move(task));
        }
        wake_.notify_one();
        return answer.get();
    }

private:
    SpawningThread() {
        std::thread([this] { serve(); }).detach();
    }

    [[noreturn]] void serve() {
        for (;;) {
            std::packaged_task<std::optional<Spawned>()> task;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !tasks_.empty(); });
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<std::optional<Spawned>()>> tasks_;
};

} // namespace

std::optional<Spawned> spawn(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &environment, Stream input, Stream output) {
    ChildPlan plan;
    plan.path = QFile::encodeName(program);
    plan.argumentBytes.push_back(plan.path);
    for (const QString &argument : arguments)
        plan.argumentBytes.push_back(argument.toUtf8());
    for (QByteArray &bytes : plan.argumentBytes)
        plan.argv.push_back(bytes.data());
    plan.argv.push_back(nullptr);
    for (const QString &entry : environment.toStringList())
        plan.environmentBytes.push_back(entry.toLocal8Bit());
    for (QByteArray &bytes : plan.environmentBytes)
        plan.envp.push_back(bytes.data());
    plan.envp.push_back(nullptr);
    rlimit descriptors{};
    if (::getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur != RLIM_INFINITY)
        plan.highestDescriptor = static_cast<int>(std::min<rlim_t>(descriptors.rlim_cur, INT_MAX) - 1);
    sigemptyset(&plan.noSignals);
    // The caller waits for the answer, so the plan outlives the task.
    return SpawningThread::instance().run([&plan, input, output] { return startChild(plan, input, output); });
}

bool hasExited(pid_t pid, int *exitCode) {
    siginfo_t info{};
    int result;
    do {
        // WNOWAIT: the child stays unreaped, so its process and group ids cannot be given to another.
        result = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return errno == ECHILD;
    if (info.si_pid == 0)
        return false;
    if (exitCode)
        *exitCode = info.si_code == CLD_EXITED ? info.si_status : -1;
    return true;
}

bool waitForExit(pid_t pid, std::chrono::milliseconds timeLimit, int *exitCode, const std::stop_token &stop) {
    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    for (;;) {
        if (hasExited(pid, exitCode))
            return true;
        if (std::chrono::steady_clock::now() >= deadline || stop.stop_requested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void kill(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void terminate(pid_t pid, std::chrono::milliseconds grace) {
    if (pid <= 0)
        return;
    if (!hasExited(pid)) {
        ::kill(pid, SIGTERM);
        waitForExit(pid, grace);
    }
    kill(pid);
}

void dieWithThisProcess(QProcess &process) {
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
}

} // namespace orvex::ChildProcesses
