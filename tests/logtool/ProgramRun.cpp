#include "ProgramRun.h"

#include "data/PathText.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Where a run's standard output and error are collected: beside the test's other scratch files,
// never in the folder the program works in.
std::string CaptureFile(const char* stream)
{
    static std::atomic<int> runs{0};
    const auto folder = std::filesystem::temp_directory_path() / "kalvix-logtool-runs";
    std::filesystem::create_directories(folder);
#ifdef _WIN32
    const auto process = GetCurrentProcessId();
#else
    const auto process = getpid();
#endif
    return PathToUtf8(folder / (std::to_string(process) + "-" + std::to_string(runs++) + "." + stream));
}

std::string ReadAndRemove(const std::string& path)
{
    std::string text;
    {
        std::ifstream file(PathFromUtf8(path), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(path), ignored);
    return text;
}

#ifdef _WIN32
// The build names the program by its path on the building (Linux) machine; Wine sees that
// machine's root as drive Z:.
std::wstring ProgramPath()
{
    std::string path = KALVIX_LOG_PROGRAM;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return WideFromUtf8(path);
}

// One argument quoted as the C runtime's parser takes it apart again.
void AppendQuoted(std::wstring& line, const std::wstring& argument)
{
    line += line.empty() ? L"\"" : L" \"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

HANDLE OpenInherited(const std::string& path, bool write)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(WideFromUtf8(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

} // namespace

StartedProgram StartKalvixLog(const ProgramCall& call)
{
    StartedProgram program{0, call.standardOutput.empty() ? CaptureFile("out") : "", CaptureFile("err")};
    const std::string& outFile = call.standardOutput.empty() ? program.outFile : call.standardOutput;
#ifdef _WIN32
    const std::wstring application = ProgramPath();
    std::wstring line;
    AppendQuoted(line, application);
    for (const std::string& argument : call.arguments)
        AppendQuoted(line, WideFromUtf8(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = OpenInherited("NUL", false);
    startup.hStdOutput = OpenInherited(outFile, true);
    startup.hStdError = OpenInherited(program.errFile, true);
    PROCESS_INFORMATION information{};
    const std::wstring folder = WideFromUtf8(call.folder);
    const BOOL started = CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &information);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        CloseHandle(handle);
    if (!started)
        throw std::runtime_error("cannot start " + Utf8FromWide(application));
    CloseHandle(information.hThread);
    program.process = reinterpret_cast<long long>(information.hProcess);
#else
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("cannot start " KALVIX_LOG_PROGRAM);
    if (child == 0) {
        // The test is about the program's own handling of signals, whatever this one inherited.
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            ::signal(signal, SIG_DFL);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(program.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
            (!call.folder.empty() && chdir(call.folder.c_str()) != 0))
            _exit(126);
        std::vector<char*> argv{const_cast<char*>(KALVIX_LOG_PROGRAM)};
        for (const std::string& argument : call.arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(KALVIX_LOG_PROGRAM, argv.data());
        _exit(127);
    }
    program.process = child;
#endif
    return program;
}

ProgramResult FinishKalvixLog(StartedProgram& program)
{
    ProgramResult result;
#ifdef _WIN32
    const HANDLE process = reinterpret_cast<HANDLE>(program.process);
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    result.exitCode = static_cast<int>(code);
#else
    int status = 0;
    waitpid(static_cast<pid_t>(program.process), &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
#endif
    if (!program.outFile.empty())
        result.out = ReadAndRemove(program.outFile);
    result.err = ReadAndRemove(program.errFile);
    return result;
}

void EndKalvixLog(StartedProgram& program)
{
#ifdef _WIN32
    TerminateProcess(reinterpret_cast<HANDLE>(program.process), 1);
#else
    kill(static_cast<pid_t>(program.process), SIGTERM);
#endif
}

std::string OutputSoFar(const StartedProgram& program)
{
    std::ifstream in(program.outFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ProgramResult RunKalvixLog(const ProgramCall& call)
{
    StartedProgram program = StartKalvixLog(call);
    return FinishKalvixLog(program);
}
