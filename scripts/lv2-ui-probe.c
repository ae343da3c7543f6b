/* A host of a few lines that opens an LV2 plug-in's X11 UI through suil, as
 * a second opinion on what the validator reports of one, sharing none of its
 * code: it prints the locale and the X errors before the plug-in is made,
 * before its UI is made, after, after idling it, and after freeing it.
 *   cc -o lv2-ui-probe scripts/lv2-ui-probe.c $(pkg-config --cflags --libs lilv-0 suil-0 x11)
 *   xvfb-run -a ./lv2-ui-probe PLUGIN-URI */
#include <X11/Xlib.h>
#include <lilv/lilv.h>
#include <locale.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <stdio.h>
#include <string.h>
#include <suil/suil.h>
#include <unistd.h>

static char uris[4096][256];
static unsigned uriCount = 0;
static int xErrors = 0;

static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
    (void)handle;
    for (unsigned i = 0; i < uriCount; ++i)
        if (strcmp(uris[i], uri) == 0) return i + 1;
    snprintf(uris[uriCount], sizeof uris[0], "%s", uri);
    return ++uriCount;
}

static const char* unmap(LV2_URID_Unmap_Handle handle, LV2_URID id) {
    (void)handle;
    return id > 0 && id <= uriCount ? uris[id - 1] : NULL;
}

static int countError(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    ++xErrors;
    return 0;
}

static void writePort(void* controller, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
    (void)controller, (void)port, (void)size, (void)protocol, (void)buffer;
}

static void report(const char* when) { printf("%-22s locale %s, %d X errors\n", when, setlocale(LC_ALL, NULL), xErrors); }

int main(int argc, char** argv) {
    if (argc != 2) return fprintf(stderr, "usage: %s PLUGIN-URI\n", argv[0]), 2;
    XInitThreads();
    XSetErrorHandler(countError);
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, argv[1]);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    if (plugin == NULL) return fprintf(stderr, "no plug-in %s\n", argv[1]), 1;

    LV2_URID_Map mapping = {NULL, map};
    LV2_URID_Unmap unmapping = {NULL, unmap};
    const LV2_Feature mapFeature = {LV2_URID__map, &mapping};
    const LV2_Feature unmapFeature = {LV2_URID__unmap, &unmapping};
    const LV2_Feature* pluginFeatures[] = {&mapFeature, &unmapFeature, NULL};
    report("before the plug-in:");
    LilvInstance* instance = lilv_plugin_instantiate(plugin, 48000.0, pluginFeatures);
    if (instance == NULL) return fprintf(stderr, "no instance\n"), 1;

    LilvNode* x11 = lilv_new_uri(world, LV2_UI__X11UI);
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    const LilvUI* ui = NULL;
    LILV_FOREACH (uis, i, uis)
        if (lilv_ui_is_a(lilv_uis_get(uis, i), x11)) ui = lilv_uis_get(uis, i);
    if (ui == NULL) return fprintf(stderr, "no X11 UI\n"), 1;

    Display* display = XOpenDisplay(NULL);
    if (display == NULL) return fprintf(stderr, "no display\n"), 1;
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 640, 480, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);

    const LV2_Feature parent = {LV2_UI__parent, (void*)window};
    const LV2_Feature access = {LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(instance)};
    const LV2_Feature idleFeature = {LV2_UI__idleInterface, NULL};
    const LV2_Feature* uiFeatures[] = {&parent, &mapFeature, &unmapFeature, &access, &idleFeature, NULL};
    char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)), NULL);
    char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), NULL);
    SuilHost* host = suil_host_new(writePort, NULL, NULL, NULL);
    report("before the UI:");
    SuilInstance* shown = suil_instance_new(host, NULL, LV2_UI__X11UI, argv[1], lilv_node_as_uri(lilv_ui_get_uri(ui)),
                                            LV2_UI__X11UI, bundle, binary, uiFeatures);
    if (shown == NULL) return fprintf(stderr, "suil made no UI\n"), 1;
    report("UI made:");
    const LV2UI_Idle_Interface* idle = suil_instance_extension_data(shown, LV2_UI__idleInterface);
    for (int i = 0; i < 30 && idle != NULL; ++i) {
        idle->idle(suil_instance_get_handle(shown));
        usleep(10000);
    }
    XSync(display, False);
    report("after 30 idles:");
    suil_instance_free(shown);
    XSync(display, False);
    report("UI freed:");
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    lilv_instance_free(instance);
    return 0;
}
