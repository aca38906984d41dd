#include "support/audioserver.h"

#include <chrono>
#include <csignal>
#include <thread>

audioserver::audioserver()
{
    std::vector<std::string> argv = {"/usr/bin/pulseaudio", "--daemonize=yes", "-n",
        "--exit-idle-time=-1", "--disallow-exit", "--log-target=file:" + runtime.path + "/log"};
    for (const char* name : {"first", "second"})
        argv.push_back(std::string("--load=module-null-sink rate=44100 channels=2 sink_name=") + name);
    argv.push_back("--load=module-native-protocol-unix");
    if (run(argv, runtime.path, env(), 30).status != 0)
        return;
    for (int tries = 0; tries < 100 && pactl({"info"}).status != 0; tries++)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string p = readfile(runtime.path + "/pulse/pid");
    if (!p.empty())
        pid = std::stoi(p);
}

audioserver::~audioserver()
{
    if (pid > 0)
        kill(pid, SIGKILL);
}

std::vector<std::string> audioserver::env() const
{
    return {"XDG_RUNTIME_DIR=" + runtime.path, "-PULSE_SERVER"};
}

outcome audioserver::pactl(std::vector<std::string> args) const
{
    args.insert(args.begin(), "/usr/bin/pactl");
    return run(args, runtime.path, env(), 10);
}

std::string audioserver::index(const std::string& what, const std::string& word) const
{
    std::string list = pactl({"list", "short", what}).out;
    size_t at = list.find(word);
    if (at == std::string::npos)
        return "";
    size_t line = list.rfind('\n', at);
    line = line == std::string::npos ? 0 : line + 1;
    return list.substr(line, list.find('\t', line) - line);
}

std::string audioserver::streamsink() const
{
    std::string list = pactl({"list", "short", "sink-inputs"}).out;
    size_t from = list.find('\t');
    if (from == std::string::npos)
        return "";
    return list.substr(from + 1, list.find('\t', from + 1) - from - 1);
}
