#include "platform/launch.h"

#include <cwchar>
#include <filesystem>
#include <fstream>

#include "platform/utf.h"
#include "win32/windows_api.h"

#include <shellapi.h>  // after windows.h, which it needs

namespace vantro::platform {

bool createProcess(std::u16string_view commandLine, std::u16string_view currentDirectory, uint32_t* processId) {
    std::wstring line = win32::wide(commandLine);  // CreateProcessW may write into it
    const std::wstring directory = win32::wide(currentDirectory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // A process group of its own: a console Ctrl+C meant for the caller does not
    // reach the program it started.
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (processId)
        *processId = process.dwProcessId;
    return true;
}

std::vector<std::u16string> splitCommandLine(std::u16string_view commandLine) {
    std::vector<std::u16string> arguments;
    // CommandLineToArgvW reads an empty line as the program's own name; an empty
    // line has no arguments. Its first argument follows the rule for program names
    // (up to the next blank, quotes only group), which is why a placeholder goes
    // first and every argument of the line is read by the runtime's rules.
    const std::wstring line = L"x " + win32::wide(commandLine);
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &count);
    if (!argv)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(win32::narrowWide(argv[i], std::wcslen(argv[i])));
    ::LocalFree(argv);
    return arguments;
}

bool shellOpen(std::u16string_view target) {
    const std::u16string log = win32::environmentVariable(L"VANTRO_OPEN_LOG");
    if (!log.empty()) {
        std::ofstream out(std::filesystem::path(log), std::ios::app | std::ios::binary);
        out << toUtf8(target) << '\n';
        return static_cast<bool>(out.flush());
    }
    const auto result = reinterpret_cast<intptr_t>(
        ::ShellExecuteW(nullptr, L"open", win32::wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;  // values up to 32 are errors
}

}  // namespace vantro::platform
