// The editor, for plug-ins that have one: opened in a real X window on the
// display the validator gives this group (a fresh Xvfb where installed),
// idled while the plug-in processes, measured and closed. The editor is
// measured by the window it builds in ours: the rectangle effEditGetRect
// points to is the plug-in's record, which only it reads. X errors are
// counted by a handler of the process's own: Xlib's default one would end
// the process, as it does in hosts that keep it. An LV2 plug-in's X11 UI is
// opened the same way, through suil (lv2/lv2_ui_session.h).
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <locale.h>
#include <sys/uio.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "frame/opcodes.h"
#include "host/plugin/call_recorder.h"
#include "host/plugin/watched_call.h"
#include "host/text/counted.h"
#include "host/validate/audio_probe.h"
#include "host/validate/call_in_progress.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
#include "host/validate/lv2/lv2_subject.h"
#include "host/validate/lv2/lv2_ui_offer.h"
#include "host/validate/lv2/lv2_ui_session.h"
#include "host/validate/plugin_under_test.h"

namespace vsthost::validate {

namespace {

constexpr int kIdles = 30;
constexpr std::int32_t kBlock = 512;
constexpr int kLargestSide = 16384;
// Opening an editor builds a whole window, often loading fonts and images:
// on a busy machine some take a minute and more.
constexpr double kOpenLimitScale = 6.0;

int xErrors = 0;
std::string firstXError;

int countXError(Display* display, XErrorEvent* error) {
    if (xErrors++ == 0) {
        char text[160] = "";
        XGetErrorText(display, error->error_code, text, sizeof text);
        firstXError = std::string(text) + " (request " + std::to_string(error->request_code) + ")";
    }
    return 0;
}

struct Size {
    bool known = false;
    int width = 0;
    int height = 0;
};

// The largest window the editor built inside ours.
Size editorWindow(Display* display, Window parent) {
    Window root = 0, parentOfParent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Size largest;
    if (XQueryTree(display, parent, &root, &parentOfParent, &children, &count) == 0) return largest;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) == 0) continue;
        if (attributes.width * attributes.height > largest.width * largest.height)
            largest = {true, attributes.width, attributes.height};
    }
    if (children != nullptr) XFree(children);
    return largest;
}

// Whether effEditGetRect hands over a rectangle: a pointer written into
// ours, to memory a host can read, whatever the call answers (plug-ins answer
// 0, 1 or their own numbers, and hosts take the rectangle all the same).
// What the rectangle holds is the plug-in's own record and is not read here.
bool givesRectangle(PluginUnderTest& plugin) {
    void* rectangle = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rectangle);
    if (rectangle == nullptr) return false;
    // Read through the kernel, so that a pointer into nowhere is an answer, not a crash.
    char copy[8];
    iovec local{copy, sizeof copy};
    iovec remote{rectangle, sizeof copy};
    return ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(sizeof copy);
}

std::string sizeText(const Size& size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

void drainEvents(Display* display) {
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

// What every editor is judged by once closed: the size of the window it
// built in ours, the X errors it caused and the locale it left.
void judgeWindow(Findings& findings, const CheckContext& context, const Size& built, const std::string& locale,
                 const std::string& editor) {
    if (built.known &&
        (built.width <= 0 || built.height <= 0 || built.width > kLargestSide || built.height > kLargestSide))
        findings.add(failed(editor + "'s window is " + sizeText(built) + " pixels"));
    if (xErrors > 0)
        findings.add({context.failFrom(7), std::to_string(xErrors) + " X errors while " + editor +
                                               " was open, the first: " + firstXError +
                                               " (a host that keeps Xlib's default handler ends there)"});
    const std::string now = std::setlocale(LC_ALL, nullptr);
    if (now != locale)
        findings.add(failed("the locale changed from \"" + locale + "\" to \"" + now + "\" with " + editor));
}

// Tells the validator of each call into an LV2 UI, as of the plug-in's own.
class UiCalls : public CallRecorder {
    void calling(const PluginCall& call) override {
        CallRecorder::calling(call);
        noteCall("%s", inProgress());
    }
    void returned() override {
        if (unwinding()) noteCallThrew();
        CallRecorder::returned();
        noteCallDone();
    }
};

// Why a UI binary does not load, as the loader says; suil only prints it.
std::string loadError(const std::string& binary, CallWatcher& calls) {
    const WatchedCall call(&calls, "UI binary load (dlopen)");
    void* library = ::dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = ::dlerror();
        return error != nullptr ? error : "it does not load";
    }
    ::dlclose(library);
    return "";
}

// An LV2 plug-in's UI is a library of its own, found in the plug-in's data,
// opened through suil into our window with the instance processing beside it.
Outcome lv2Editor(CheckContext& context) {
    const Lv2UiOffer offer = offeredUi(context.lv2->data);
    if (offer.count == 0) return passed("no UI in its data");
    if (!offer.ui) return skipped(offer.refusal);
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return skipped("no X display: DISPLAY is not set");
    // UIs that draw from threads of their own rely on it, and it must come
    // before any other Xlib call.
    XInitThreads();
    PluginUnderTest plugin(context);
    XSetErrorHandler(countXError);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return skipped(std::string("no X display: cannot open ") + name);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 640, 480, 0, 0, 0);
    XStoreName(display, window, "dravelkint validate");
    XMapWindow(display, window);
    XSync(display, False);

    plugin.start(44100.0, kBlock);
    // Taken once the instance is made: a plug-in that switches the locale
    // there is lifecycle.locale's business, not its UI's.
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    UiCalls calls;
    std::unique_ptr<Lv2UiSession> ui;
    {
        const LongCalls longer(kOpenLimitScale);
        ui = std::make_unique<Lv2UiSession>(*offer.ui, *plugin.lv2(), plugin.sampleRate(), context.lv2->data, display,
                                            window, &calls);
    }
    XSync(display, False);
    if (!ui->opened()) {
        ui.reset();
        XDestroyWindow(display, window);
        XCloseDisplay(display);
        const std::string error = loadError(offer.ui->binary, calls);
        return failed("its X11 UI " + offer.ui->uri + " makes no instance, given every feature it requires: " +
                      (error.empty() ? "its instantiate answers nothing" : "its binary does not load: " + error));
    }
    int idled = 0;
    bool closedByUi = false;
    for (int i = 0; i < kIdles && !closedByUi; ++i) {
        if (ui->idles()) {
            closedByUi = !ui->idle();
            ++idled;
        }
        processNoise(plugin, io, context.random, kBlock, scan);
        drainEvents(display);
        ::usleep(10000);
    }
    XSync(display, False);
    const Size built = editorWindow(display, window);
    const bool idles = ui->idles();
    ui->close();
    XDestroyWindow(display, window);
    XSync(display, False);
    drainEvents(display);
    XCloseDisplay(display);

    Findings findings;
    judgeWindow(findings, context, built, locale, "the UI");
    const Outcome output = judgeOutput(scan, context, "processing beside the UI", kOnlyFinite);
    findings.add(output);
    std::string idling = idles || idled > 0
                             ? "idled " + std::to_string(idled) + " times while processing"
                             : "processing " + std::to_string(kIdles) + " blocks (it offers no ui:idleInterface)";
    if (closedByUi) idling += ", when it asked to be closed";
    return findings.outcome(
        "X11 UI " + offer.ui->uri + " opened on " + std::string(name) + ", " +
        (built.known ? "its window " + sizeText(built) : std::string("no window of its own")) + ", " + idling + ", " +
        counted(ui->writesTaken(), "port write") + " taken, " + std::to_string(ui->writesDropped()) +
        " dropped (atom transfers and writes to no control input are not passed on), closed; " + output.message);
}

Outcome editor(CheckContext& context) {
    if (context.lv2 != nullptr) return lv2Editor(context);
    PluginUnderTest plugin(context);
    const char* name = std::getenv("DISPLAY");
    // Asking an editor anything without a display crashes some plug-ins.
    if (name == nullptr || *name == '\0') return skipped("no X display: DISPLAY is not set");
    XSetErrorHandler(countXError);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return skipped(std::string("no X display: cannot open ") + name);
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 640, 480, 0, 0, 0);
    XStoreName(display, window, "dravelkint validate");
    XMapWindow(display, window);
    XSync(display, False);

    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    std::intptr_t opened = 0;
    {
        const LongCalls longer(kOpenLimitScale);
        opened = plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window));
    }
    XSync(display, False);
    Size built = editorWindow(display, window);
    // An effect without an editor answers 0 and builds nothing.
    if (opened == 0 && !built.known) {
        XDestroyWindow(display, window);
        XCloseDisplay(display);
        return skipped("no editor: effEditOpen answers 0 and builds no window");
    }
    if (built.known && built.width > 0 && built.height > 0 && built.width <= kLargestSide &&
        built.height <= kLargestSide)
        XResizeWindow(display, window, static_cast<unsigned>(built.width), static_cast<unsigned>(built.height));
    for (int i = 0; i < kIdles; ++i) {
        plugin.dispatch(effEditIdle);
        processNoise(plugin, io, context.random, kBlock, scan);
        drainEvents(display);
        ::usleep(10000);
    }
    const bool rectangle = givesRectangle(plugin);
    XSync(display, False);
    built = editorWindow(display, window);
    plugin.dispatch(effEditClose);
    XDestroyWindow(display, window);
    XSync(display, False);
    drainEvents(display);
    XCloseDisplay(display);

    Findings findings;
    if (!rectangle)
        findings.add({context.failFrom(7),
                      "effEditGetRect hands over no readable rectangle while the editor is open: a host cannot "
                      "size its window"});
    judgeWindow(findings, context, built, locale, "the editor");
    const Outcome output = judgeOutput(scan, context, "processing beside the editor", kOnlyFinite);
    findings.add(output);
    return findings.outcome("editor opened on " + std::string(name) + (opened != 0 ? "" : " (effEditOpen answered 0)") +
                            ", " +
                            (built.known ? "its window " + sizeText(built) : std::string("no window of its own")) +
                            ", idled " + std::to_string(kIdles) + " times while processing, closed; " + output.message);
}

}  // namespace

CheckGroup editorGroup() {
    CheckGroup group{"editor",
                     {{"editor.open-close", 2,
                       "the editor (an LV2 plug-in's X11 UI) opened in an X window (Xvfb), idled while processing, "
                       "measured and closed: no crash, a sensible size (no X errors and a rectangle from strictness 7)",
                       editor, 1, false, Formats::both}}};
    group.needsDisplay = true;
    return group;
}

}  // namespace vsthost::validate
