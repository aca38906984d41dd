// Running the real demoplayer binary (or a helper program) from a test:
// its own working directory, extra environment, standard output captured
// byte for byte, and a time limit after which it is killed.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct outcome {
    int status = -1;        // exit status; -1 killed or timed out
    bool timedout = false;
    std::string out;        // everything written to standard output
};

class child {
public:
    // Starts `argv` in `dir` with `env` added to ours: "NAME=value" sets,
    // "-NAME" removes.
    child(const std::vector<std::string>& argv, const std::string& dir,
          const std::vector<std::string>& env = {});
    ~child();
    // Waits at most `seconds`; kills the process when it is not done.
    outcome wait(double seconds);
    pid_t pid = -1;

private:
    int outfd = -1;
    std::string out;
    void drain(int timeoutms);
};

outcome run(const std::vector<std::string>& argv, const std::string& dir,
            const std::vector<std::string>& env = {}, double seconds = 30);

// A fresh empty directory under /tmp, removed with everything in it when
// the object goes.
class tempdir {
public:
    tempdir();
    ~tempdir();
    std::string path;
};

std::string readfile(const std::string& path);
bool exists(const std::string& path);
int countlines(const std::string& text, const std::string& line);
