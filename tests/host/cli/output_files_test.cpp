// What the host writes and what it never touches: OUT as a regular file made
// or replaced by rename, written into when it is a FIFO or a character
// device, followed when it is a symbolic link; never a file the render
// reads. Every signal that ends a render leaves nothing behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio_files.h"
#include "tool_process.h"

namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& name) { return std::string(FIXTURE_DIR) + "/" + name + ".so"; }

// What stands at a path, as the table expects it.
std::string kindAt(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) return "nothing";
    if (S_ISLNK(link.st_mode)) return "link to " + fs::read_symlink(path).string();
    if (S_ISFIFO(link.st_mode)) return "fifo";
    if (S_ISCHR(link.st_mode)) return "character device";
    if (S_ISSOCK(link.st_mode)) return "socket";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%03o", link.st_mode & 0777);
    return std::string("file ") + mode;
}

struct OutCase {
    const char* what;
    std::vector<std::string> args;  // after "render {dir}/in.wav"
    int exitCode;
    const char* message;
    std::vector<std::pair<std::string, std::string>> after;  // name, kindAt()
};

const std::vector<OutCase> kOutCases{
    {"device, format that does not stream",
     {"{dir}/nul", "--format", "wav", "--overwrite"},
     4,
     "output '{dir}/nul' is a character device, which is written into as standard output is, in a format that "
     "streams (.au, .ogg, .opus), not .wav",
     {{"nul", "character device"}}},
    {"device, format that streams",
     {"{dir}/nul", "--format", "au"},
     0,
     "wrote '{dir}/nul'",
     {{"nul", "character device"}}},
    {"fifo, format that does not stream",
     {"{dir}/fifo.wav"},
     4,
     "output '{dir}/fifo.wav' is a FIFO, which is written into",
     {{"fifo.wav", "fifo"}}},
    {"socket", {"{dir}/sock", "--format", "au"}, 4, "output '{dir}/sock' is a socket", {{"sock", "socket"}}},
    {"symbolic link: its file is replaced and keeps its mode",
     {"{dir}/link.wav", "--overwrite"},
     0,
     "replaced '{dir}/link.wav'",
     {{"link.wav", "link to old.wav"}, {"old.wav", "file 640"}}},
    {"replaced file keeps its mode", {"{dir}/old.wav", "--overwrite"}, 0, "replaced", {{"old.wav", "file 640"}}},
    {"link that leads nowhere",
     {"{dir}/dangling.wav", "--overwrite"},
     4,
     "output '{dir}/dangling.wav' is a symbolic link that leads nowhere",
     {{"dangling.wav", "link to nowhere.wav"}}},
    {"picture onto a FIFO",
     {"{dir}/out.wav", "--spectrogram", "{dir}/fifo.png"},
     4,
     "picture '{dir}/fifo.png' is a FIFO; the picture is written only as a regular file",
     {{"fifo.png", "fifo"}, {"out.wav", "nothing"}}},
    {"picture through a symbolic link",
     {"{dir}/out.wav", "--spectrogram", "{dir}/picture-link.png", "--overwrite"},
     0,
     "drew its spectrogram",
     {{"picture-link.png", "link to old.png"}, {"old.png", "file 640"}}},
};

TEST(OutputFiles, WhatStandsAtOutIsWrittenIntoReplacedOrRefused) {
    for (const OutCase& c : kOutCases) {
        SCOPED_TRACE(c.what);
        ScratchDirectory dir;
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(4000, 2));
        if (::mknod((dir / "nul").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            GTEST_SKIP() << "cannot make a device node here (needs root): " << std::strerror(errno);
        ASSERT_EQ(::mkfifo((dir / "fifo.wav").c_str(), 0644), 0);
        ASSERT_EQ(::mkfifo((dir / "fifo.png").c_str(), 0644), 0);
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, (dir / "sock").c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        for (const char* name : {"old.wav", "old.png"}) {
            writeBytes(dir / name, "an older file");
            fs::permissions(dir / name, fs::perms(0640));
        }
        fs::create_symlink("old.wav", dir / "link.wav");
        fs::create_symlink("old.png", dir / "picture-link.png");
        fs::create_symlink("nowhere.wav", dir / "dangling.wav");

        std::vector<std::string> args{"render", dir / "in.wav"};
        for (const std::string& a : c.args) args.push_back(dir.expand(a));
        const ToolRun run = runTool(args);
        ::close(sock);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(dir.expand(c.message)), std::string::npos) << run.err;
        for (const auto& [name, kind] : c.after) EXPECT_EQ(kindAt(dir / name), kind) << name;
        for (const std::string& name : dir.entries()) EXPECT_EQ(name.find(".part"), std::string::npos) << name;
    }
}

// A FIFO's reader gets the whole stream; the FIFO stays.
TEST(OutputFiles, AFifoIsWrittenInto) {
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(4000, 2));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    std::string received;
    std::thread reader([&] { received = readBytes(dir / "fifo"); });
    const ToolRun run = runTool({"render", dir / "in.wav", dir / "fifo", "--format", "au", "--quiet"});
    // Should the tool never have opened it, the reader still waits: end its wait.
    ::close(::open((dir / "fifo").c_str(), O_WRONLY | O_NONBLOCK));
    reader.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(received.substr(0, 4), ".snd");
    EXPECT_GE(received.size(), 4000u * 2 * 2);
    EXPECT_EQ(kindAt(dir / "fifo"), "fifo");
}

// The side-chain and the automation file are protected as the input is,
// under their own names and through hard and symbolic links, for the audio
// output and the picture alike.
TEST(OutputFiles, FilesTheRenderReadsAreNeverOverwritten) {
    const struct {
        const char* out;
        const char* message;
    } cases[] = {
        {"{dir}/key.wav", "output '{dir}/key.wav' is the side-chain file"},
        {"{dir}/key-hard.wav", "output '{dir}/key-hard.wav' is the side-chain file"},
        {"{dir}/key-soft.wav", "output '{dir}/key-soft.wav' is the side-chain file"},
        {"{dir}/mix.json", "output '{dir}/mix.json' is the automation file"},
        {"{dir}/mix-soft.wav", "output '{dir}/mix-soft.wav' is the automation file"},
        {"--spectrogram={dir}/key.png", "picture '{dir}/key.png' is the side-chain file"},
        {"--spectrogram={dir}/mix.png", "picture '{dir}/mix.png' is the automation file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        ScratchDirectory dir;
        writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(1000, 2));
        writeAudio(dir / "key.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, testSignal(1000, 1, 7));
        writeBytes(dir / "mix.json", R"({"Gain": [{"beat": 0, "value": 0.5}]})");
        fs::create_hard_link(dir / "key.wav", dir / "key-hard.wav");
        fs::create_hard_link(dir / "key.wav", dir / "key.png");
        fs::create_symlink("key.wav", dir / "key-soft.wav");
        fs::create_symlink(dir / "mix.json", dir / "mix-soft.wav");
        fs::create_hard_link(dir / "mix.json", dir / "mix.png");
        const auto before = dir.snapshot();
        std::vector<std::string> args{
            "render",      dir / "in.wav",  dir / "out.wav", "--plugin",       fixture("sidechain_one"),
            "--sidechain", dir / "key.wav", "--automation",  dir / "mix.json", "--overwrite"};
        const std::string out = dir.expand(c.out);
        if (out.rfind("--spectrogram=", 0) == 0) {
            args.push_back("--spectrogram");
            args.push_back(out.substr(14));
        } else {
            args[2] = out;
        }
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 4) << run.err;
        EXPECT_NE(run.err.find(dir.expand(c.message)), std::string::npos) << run.err;
        EXPECT_EQ(dir.snapshot(), before);
    }
}

// Every signal that would end the process, sent once the render is under
// way, ends it as the signal would, saying so, with nothing left behind.
TEST(OutputFiles, EverySignalLeavesNothingBehind) {
    const struct {
        int signal;
        const char* message;
    } cases[] = {
        {SIGINT, "interrupted by SIGINT"}, {SIGTERM, "stopped by SIGTERM"}, {SIGHUP, "stopped by SIGHUP"},
        {SIGQUIT, "stopped by SIGQUIT"},   {SIGUSR1, "stopped by SIGUSR1"}, {SIGUSR2, "stopped by SIGUSR2"},
        {SIGPIPE, "stopped by SIGPIPE"},   {SIGALRM, "stopped by SIGALRM"},
    };
    ScratchDirectory dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, testSignal(44100 * 60, 2));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const ToolRun run =
            interruptOnTerminal({"render", dir / "in.wav", dir / "out.wav", "--block", "1"}, 80, "real time", c.signal);
        EXPECT_EQ(run.exitCode, 128 + c.signal) << run.out;
        EXPECT_NE(run.out.find(std::string(c.message) + "; nothing was written to '" + (dir / "out.wav") + "'"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});
    }
}

// Signals that come before the render loop (while the input is read) and a
// write into a standard output nobody reads end the render just the same.
TEST(OutputFiles, SignalsBeforeTheRenderAndAClosedPipe) {
    ScratchDirectory dir;
    ScratchDirectory logs;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(44100, 2));
    const std::string wav = readBytes(dir / "in.wav");
    const auto before = dir.snapshot();
    const sighandler_t previous = ::signal(SIGPIPE, SIG_IGN);
    {
        SCOPED_TRACE("SIGTERM while the input is read");
        const PipedTool tool = startPiped({"render", "-", dir / "out.wav"}, logs / "err");
        ::close(tool.output);
        // The pipe holds a page: once more than that is written, the tool is reading.
        ::fcntl(tool.input, F_SETPIPE_SZ, 4096);
        ASSERT_EQ(::write(tool.input, wav.data(), 8192), 8192);
        ::kill(tool.pid, SIGTERM);
        (void)::write(tool.input, wav.data() + 8192, wav.size() - 8192);
        ::close(tool.input);
        EXPECT_EQ(waitForTool(tool.pid), 128 + SIGTERM);
        EXPECT_NE(
            readBytes(logs / "err").find("stopped by SIGTERM; nothing was written to '" + (dir / "out.wav") + "'"),
            std::string::npos)
            << readBytes(logs / "err");
        EXPECT_EQ(dir.snapshot(), before);
    }
    {
        SCOPED_TRACE("standard output closed");
        const PipedTool tool = startPiped({"render", dir / "in.wav", "-", "--format", "au"}, logs / "err");
        ::close(tool.input);
        ::close(tool.output);
        EXPECT_EQ(waitForTool(tool.pid), 128 + SIGPIPE);
        EXPECT_NE(readBytes(logs / "err").find("stopped by SIGPIPE"), std::string::npos) << readBytes(logs / "err");
        EXPECT_EQ(dir.snapshot(), before);
    }
    ::signal(SIGPIPE, previous);
}

// info blames what the file is: audio by its name or its content, a plug-in
// when it is an ELF object, whatever its name.
TEST(OutputFiles, InfoBlamesTheAudioOrThePlugin) {
    const struct {
        const char* name;
        std::string bytes;
        int exitCode;
        const char* message;
    } cases[] = {
        {"empty.wav", "", 3, "input '{dir}/empty.wav' is not an audio file libsndfile can read"},
        {"damaged.wav", std::string("RIFF\x10\0\0\0WAVEfmt ", 16) + "garbage", 3, "input '{dir}/damaged.wav'"},
        {"broken.flac", "fLaC and nothing of it", 3, "input '{dir}/broken.flac'"},
        {"elf.wav",
         std::string("\x7f"
                     "ELF\x02\x01\x01",
                     7) +
             std::string(64, '\0'),
         5, "plug-in '{dir}/elf.wav'"},
        {"notes.txt", "not audio\n", 5, "plug-in '{dir}/notes.txt'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDirectory dir;
        writeBytes(dir / c.name, c.bytes);
        const ToolRun run = runTool({"info", dir / c.name});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(dir.expand(c.message)), std::string::npos) << run.err;
    }
}

TEST(OutputFiles, InfoBlamesAnUnreadableAudioFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads a file whatever its mode, so unreadable cannot be tried";
    ScratchDirectory dir;
    writeAudio(dir / "locked.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, testSignal(100, 2));
    fs::permissions(dir / "locked.wav", fs::perms::none);
    const ToolRun run = runTool({"info", dir / "locked.wav"});
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
}

}  // namespace
