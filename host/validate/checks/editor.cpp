// The editor, for plug-ins that have one: opened in a real X window on the
// display the validator gives this group (a fresh Xvfb where installed),
// idled while the plug-in processes, measured and closed. X errors are
// counted by a handler of the process's own: Xlib's default one would end
// the process, as it does in hosts that keep it.
#include <X11/Xlib.h>
#include <locale.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frame/editor_rect.h"
#include "frame/opcodes.h"
#include "host/validate/audio_probe.h"
#include "host/validate/call_in_progress.h"
#include "host/validate/catalogue.h"
#include "host/validate/findings.h"
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

Size editorSize(PluginUnderTest& plugin) {
    ERect* rect = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rect);
    if (rect == nullptr) return {};
    return {true, rect->right - rect->left, rect->bottom - rect->top};
}

std::string sizeText(const Size& size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

void drainEvents(Display* display) {
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

Outcome editor(CheckContext& context) {
    PluginUnderTest plugin(context.module);
    if ((plugin.effect()->flags & effFlagsHasEditor) == 0) return skipped("no editor: effFlagsHasEditor is not set");
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

    const Size before = editorSize(plugin);
    plugin.start(44100.0, kBlock);
    BlockBuffers io(plugin, kBlock);
    SignalScan scan;
    std::intptr_t opened = 0;
    {
        const LongCalls longer(kOpenLimitScale);
        opened = plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window));
    }
    Size open = editorSize(plugin);
    if (open.known && open.width > 0 && open.height > 0 && open.width <= kLargestSide && open.height <= kLargestSide)
        XResizeWindow(display, window, static_cast<unsigned>(open.width), static_cast<unsigned>(open.height));
    for (int i = 0; i < kIdles; ++i) {
        plugin.dispatch(effEditIdle);
        processNoise(plugin, io, context.random, kBlock, scan);
        drainEvents(display);
        ::usleep(10000);
    }
    open = editorSize(plugin);
    plugin.dispatch(effEditClose);
    XDestroyWindow(display, window);
    XSync(display, False);
    drainEvents(display);
    XCloseDisplay(display);

    Findings findings;
    if (!open.known)
        findings.add({context.failFrom(7),
                      "effEditGetRect gives no size while the editor is open: a host cannot size "
                      "its window"});
    else if (open.width <= 0 || open.height <= 0 || open.width > kLargestSide || open.height > kLargestSide)
        findings.add(failed("effEditGetRect gives an editor of " + sizeText(open) + " pixels"));
    if (xErrors > 0)
        findings.add({context.failFrom(7), std::to_string(xErrors) +
                                               " X errors while the editor was open, the first: " + firstXError +
                                               " (a host that keeps Xlib's default handler ends there)"});
    const std::string now = std::setlocale(LC_ALL, nullptr);
    if (now != locale)
        findings.add(failed("the locale changed from \"" + locale + "\" to \"" + now + "\" with the editor"));
    const Outcome output = judgeOutput(scan, context, "processing beside the editor", kOnlyFinite);
    findings.add(output);
    return findings.outcome("editor opened on " + std::string(name) + (opened != 0 ? "" : " (effEditOpen answered 0)") +
                            ", " + (open.known ? sizeText(open) : std::string("no size")) +
                            (before.known ? "" : " (no size before it opened)") + ", idled " + std::to_string(kIdles) +
                            " times while processing, closed; " + output.message);
}

}  // namespace

CheckGroup editorGroup() {
    CheckGroup group{"editor",
                     {{"editor.open-close", 2,
                       "the editor opened in an X window (Xvfb), idled while processing, sized and closed: no "
                       "crash, a sensible size (no X errors from strictness 7)",
                       editor}}};
    group.needsDisplay = true;
    return group;
}

}  // namespace vsthost::validate
