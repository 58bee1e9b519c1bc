// Runs murl13-tool, built beside the test binaries, as a separate program.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <utility>

inline std::string toolPath()
{
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path(self, size_t(length > 0 ? length : 0));
    return path.substr(0, path.rfind('/') + 1) + "murl13-tool";
}

// Runs `murl13-tool COMMAND ARGS`; `redirect` picks the stream kept. Returns
// the exit status and the kept stream.
inline std::pair<int, std::string> tool(const std::string& command, const std::string& args,
                                        const char* redirect = "2>/dev/null")
{
    FILE* pipe = popen(("'" + toolPath() + "' " + command + " " + args + " " + redirect).c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

