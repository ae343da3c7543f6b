// An LV2 plug-in's X11 UI opened through suil as a host opens it: into an
// X window of the host's (ui:parent), told the control inputs' values,
// idled through ui:idleInterface, and freed. It is given the instance's own
// URID map and unmap, the instance (instance-access, data-access), the
// sample rate as an option, ui:resize, which resizes the host's window, and,
// through suil, port indices by symbol and touch. A float the UI writes to a
// control input goes to the plug-in's parameter for it; other writes (atom
// transfers, output ports) are counted and dropped. Every call into the UI is
// told to the watcher for as long as it runs.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/data-access/data-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/plugin/call_watcher.h"
#include "host/plugin/lv2/plugin_world.h"
#include "lv2_ui_offer.h"

typedef struct _XDisplay Display;
typedef struct SuilHostImpl SuilHost;
typedef struct SuilInstanceImpl SuilInstance;

namespace vsthost {
class Lv2Plugin;
}  // namespace vsthost

namespace vsthost::validate {

class Lv2UiSession {
public:
    // Whether a UI requiring the feature with this URI gets it.
    static bool gives(const std::string& feature);

    // Opens `ui` for the instance `plugin` has made at `sampleRate`
    // (processing has started), `data` its plug-in as lilv reads it, inside
    // `parent` on `display`. opened() tells whether suil made the UI.
    Lv2UiSession(const Lv2Ui& ui, Lv2Plugin& plugin, double sampleRate, const Lv2World& data, Display* display,
                 unsigned long parent, CallWatcher* watcher);
    ~Lv2UiSession();
    Lv2UiSession(const Lv2UiSession&) = delete;
    Lv2UiSession& operator=(const Lv2UiSession&) = delete;

    bool opened() const { return instance_ != nullptr; }
    // The window the UI says it made, 0 for none.
    unsigned long widget() const;
    bool idles() const { return idle_ != nullptr; }
    // One idle call; false once the UI has asked to be closed.
    bool idle();
    // Frees the UI; nothing of it is called again.
    void close();

    int writesTaken() const { return taken_; }
    int writesDropped() const { return dropped_; }
    int resizes() const { return resizes_; }

private:
    static void write(void* controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                      const void* buffer);
    static std::uint32_t portIndex(void* controller, const char* symbol);
    static int resize(LV2UI_Feature_Handle handle, int width, int height);
    void tellControlValues();

    Lv2Plugin& plugin_;
    const Lv2World& data_;
    Display* display_;
    unsigned long parent_;
    CallWatcher* watcher_;
    float sampleRate_;
    LV2_Extension_Data_Feature dataAccess_{};
    LV2UI_Resize resize_{};
    std::array<LV2_Options_Option, 2> options_{};
    std::vector<LV2_Feature> features_;
    std::vector<const LV2_Feature*> list_;
    SuilHost* host_ = nullptr;
    SuilInstance* instance_ = nullptr;
    const LV2UI_Idle_Interface* idle_ = nullptr;
    int taken_ = 0;
    int dropped_ = 0;
    int resizes_ = 0;
};

}  // namespace vsthost::validate
