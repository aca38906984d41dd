#include "runner.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

child::child(const std::vector<std::string>& argv, const std::string& dir,
             const std::vector<std::string>& env)
{
    int pipefd[2];
    if (pipe(pipefd) != 0)
        std::abort();
    pid = fork();
    if (pid == 0) {
        dup2(pipefd[1], 1);
        close(pipefd[0]);
        close(pipefd[1]);
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        for (const std::string& e : env) {
            if (e[0] == '-')
                unsetenv(e.c_str() + 1);
            else
                putenv(const_cast<char*>(e.c_str()));
        }
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipefd[1]);
    outfd = pipefd[0];
}

child::~child()
{
    if (pid > 0)
        wait(0);
    if (outfd >= 0)
        close(outfd);
}

void child::drain(int timeoutms)
{
    pollfd p = {outfd, POLLIN, 0};
    if (poll(&p, 1, timeoutms) > 0) {
        char buf[4096];
        ssize_t n = read(outfd, buf, sizeof buf);
        if (n > 0)
            out.append(buf, static_cast<size_t>(n));
    }
}

outcome child::wait(double seconds)
{
    outcome result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    for (;;) {
        drain(20);
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedout = true;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
    }
    for (int i = 0; i < 50; i++) {
        size_t before = out.size();
        drain(0);
        if (out.size() == before)
            break;
    }
    pid = -1;
    result.out = out;
    if (!result.timedout && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}

outcome run(const std::vector<std::string>& argv, const std::string& dir,
            const std::vector<std::string>& env, double seconds)
{
    child c(argv, dir, env);
    return c.wait(seconds);
}

tempdir::tempdir()
{
    char name[] = "/tmp/showtest.XXXXXX";
    path = mkdtemp(name);
}

tempdir::~tempdir()
{
    std::string cmd = "rm -rf '" + path + "'";
    if (std::system(cmd.c_str()) != 0)
        return;
}

std::string readfile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

int countlines(const std::string& text, const std::string& line)
{
    int n = 0;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        n += l == line;
    return n;
}
