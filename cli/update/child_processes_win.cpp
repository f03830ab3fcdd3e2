// Child processes on Windows: CreateProcessW with an anonymous pipe for each child's standard
// output and error, looked at in turn without blocking (PeekNamedPipe), which Windows XP has, and
// one for its standard input. Each pipe's child end is inherited by its own child alone: were it
// inherited by the children started after it, the pipe would not end until they all had. The
// children have no console: the operator's Ctrl-C and the console's closing reach the parent
// alone.
#include <windows.h>

#include <map>

#include "cli/update/child_processes.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

// Between two looks at the pipes when none had anything: short beside a line a second, long
// enough to cost nothing.
constexpr DWORD kLookIntervalMilliseconds = 20;

// A word of a command line as the programs' runtime reads it back: in quotes, with the quotes and
// the backslashes before them escaped.
std::wstring Quoted(const std::wstring& word) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

class WindowsChildProcesses final : public ChildProcesses {
  public:
    ~WindowsChildProcesses() override {
        for (auto& [child, running] : running_) {
            if (running.output != nullptr) {
                CloseHandle(running.output);
            }
            TerminateProcess(running.process, 1);
            CloseHandle(running.process);
        }
    }

    bool Start(std::size_t child, const std::vector<std::string>& words,
               const std::string& standardInput) override {
        if (words.empty()) {
            return false;
        }
        std::wstring commandLine;
        for (const std::string& word : words) {
            commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(WideFromUtf8(word));
        }
        HANDLE outputRead = nullptr;
        HANDLE outputWrite = nullptr;
        HANDLE inputRead = nullptr;
        HANDLE inputWrite = nullptr;
        // The input pipe holds the whole text, so that writing it never waits for the child.
        const DWORD inputSize = static_cast<DWORD>(standardInput.size()) + 4096;
        if (!CreatePipe(&outputRead, &outputWrite, nullptr, 0)) {
            return false;
        }
        if (!CreatePipe(&inputRead, &inputWrite, nullptr, inputSize)) {
            CloseHandle(outputRead);
            CloseHandle(outputWrite);
            return false;
        }
        SetHandleInformation(outputWrite, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        SetHandleInformation(inputRead, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = inputRead;
        startup.hStdOutput = outputWrite;
        startup.hStdError = outputWrite;
        PROCESS_INFORMATION process = {};
        const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE,
                                            DETACHED_PROCESS, nullptr, nullptr, &startup, &process);
        // The child has its own copies now; without these the pipes end when the child does.
        CloseHandle(outputWrite);
        CloseHandle(inputRead);
        if (started) {
            DWORD written = 0;
            WriteFile(inputWrite, standardInput.data(), static_cast<DWORD>(standardInput.size()),
                      &written, nullptr);
        }
        CloseHandle(inputWrite);
        if (!started) {
            CloseHandle(outputRead);
            return false;
        }
        CloseHandle(process.hThread);
        running_[child] = {process.hProcess, outputRead, {}};
        return true;
    }

    std::vector<ChildOutput> Wait(std::uint32_t milliseconds) override {
        std::vector<ChildOutput> outputs;
        const DWORD start = GetTickCount();
        for (;;) {
            for (auto& [child, running] : running_) {
                Look(child, running, outputs);
            }
            for (auto it = running_.begin(); it != running_.end();) {
                DWORD code = 0;
                if (it->second.output == nullptr &&
                    WaitForSingleObject(it->second.process, 0) == WAIT_OBJECT_0 &&
                    GetExitCodeProcess(it->second.process, &code)) {
                    outputs.push_back({it->first, true, {}, static_cast<int>(code)});
                    CloseHandle(it->second.process);
                    it = running_.erase(it);
                } else {
                    ++it;
                }
            }
            if (!outputs.empty() || running_.empty() || GetTickCount() - start >= milliseconds) {
                return outputs;
            }
            Sleep(kLookIntervalMilliseconds);
        }
    }

    void End(std::size_t child) override {
        const auto found = running_.find(child);
        if (found != running_.end()) {
            TerminateProcess(found->second.process, 1);
        }
    }

    void Leave(std::size_t child) override {
        const auto found = running_.find(child);
        if (found == running_.end()) {
            return;
        }
        // Its writes to the closed pipe fail from now on, which it goes on after.
        if (found->second.output != nullptr) {
            CloseHandle(found->second.output);
        }
        CloseHandle(found->second.process);
        running_.erase(found);
    }

  private:
    struct Running {
        HANDLE process;
        HANDLE output;  // nullptr once the child has closed its end
        ChildOutputLines lines;
    };

    static void Look(std::size_t child, Running& running, std::vector<ChildOutput>& outputs) {
        if (running.output == nullptr) {
            return;
        }
        DWORD available = 0;
        if (!PeekNamedPipe(running.output, nullptr, 0, nullptr, &available, nullptr)) {
            // The child has closed its end, and everything it wrote has been read.
            CloseHandle(running.output);
            running.output = nullptr;
            running.lines.Close(child, outputs);
            return;
        }
        if (available == 0) {
            return;
        }
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!ReadFile(running.output, &chunk[0], available, &read, nullptr)) {
            return;
        }
        running.lines.Add(child, chunk.data(), read, outputs);
    }

    std::map<std::size_t, Running> running_;
};

}  // namespace

std::unique_ptr<ChildProcesses> SystemChildProcesses() {
    return std::make_unique<WindowsChildProcesses>();
}

std::string ThisProgramPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string()
                                             : Utf8FromWide(std::wstring(path, length));
}

}  // namespace quorvanex::cli
