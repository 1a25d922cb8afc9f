#include "host_test_support.h"

#include <fstream>
#include <sstream>

#include "support/child_process.h"

namespace vantro::host_test {

std::vector<std::string> HostRun::lines() const {
    std::vector<std::string> result;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

std::vector<std::string> HostRun::between(const std::string& from, const std::string& to) const {
    std::vector<std::string> result;
    bool inside = false;
    for (const std::string& line : lines()) {
        if (line == from)
            inside = true;
        else if (line == to && inside)
            return result;
        else if (inside)
            result.push_back(line);
    }
    ADD_FAILURE() << "markers " << from << " / " << to << " not found in:\n" << output;
    return {};
}

std::vector<std::string> eventsOf(const std::vector<std::string>& lines) {
    std::vector<std::string> result;
    for (const std::string& line : lines)
        if (line.starts_with("[event] ") && !line.starts_with("[event] Idle "))
            result.push_back(line.substr(8));
    return result;
}

std::string HostTest::write(const std::string& name, const std::string& text) const {
    const std::string file = path(name);
    std::ofstream(file) << text;
    return file;
}

HostRun HostTest::run(const std::vector<std::string>& args) const {
    const vantro::test::RunResult result = vantro::test::runProgram(VANTRO_HOST_PATH, args);
    return {result.exitCode, result.output};
}

HostRun HostTest::runScript(const std::string& script, std::vector<std::string> args) const {
    args.push_back("--log-events");
    args.push_back("--script");
    args.push_back(write("script.txt", script));
    return run(args);
}

}  // namespace vantro::host_test
