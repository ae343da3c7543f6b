// Runs the built dravelkint executable as a user would, and a scratch
// directory per test for the files it reads and writes.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

struct ToolRun {
    int exitCode = -1;  // 128 + signal when killed
    std::string out;
    std::string err;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// `input` is what the tool reads as its standard input.
ToolRun runTool(const std::vector<std::string>& args, const Environment& env = {},
                const std::string& program = DRAVELKINT_TOOL_PATH, const std::string& input = "/dev/null");

// Starts the tool without waiting; finishToolRun() waits for it.
struct RunningTool {
    int pid;
    std::filesystem::path outFile;
    std::filesystem::path errFile;
};
RunningTool startTool(const std::vector<std::string>& args, const std::filesystem::path& logDir);
ToolRun finishToolRun(const RunningTool& running);
// Runs the tool with its standard input and output on pipes the test holds
// and its standard error into `errFile`; waitForTool() collects it.
struct PipedTool {
    int pid;
    int input;   // the tool's standard input, to write to
    int output;  // its standard output, to read from
};
PipedTool startPiped(const std::vector<std::string>& args, const std::string& errFile);
// The exit code, or 128 + the signal that ended it.
int waitForTool(int pid);
// Whether the tool has ended; finishToolRun() still collects it.
bool hasEnded(const RunningTool& running);

// Runs the tool with its standard output and error on a terminal `columns`
// wide (a pseudo-terminal), sends it `signal` once `text` has appeared there,
// and waits for it to end; `out` is everything the terminal showed. A tool
// that ends before showing `text` gets no signal.
ToolRun interruptOnTerminal(const std::vector<std::string>& args, int columns, const std::string& text, int signal);

class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return dir; }
    std::string operator/(const std::string& name) const { return (dir / name).string(); }
    std::vector<std::string> entries() const;  // sorted names
    // Every file's name and bytes, to show that nothing changed.
    std::vector<std::pair<std::string, std::string>> snapshot() const;
    // `text` with every "{dir}" replaced by the directory's path.
    std::string expand(std::string text) const;

private:
    std::filesystem::path dir;
};

std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
