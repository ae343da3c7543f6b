// The optional editor of an effect, and the key code handed to it.
#pragma once

#include <cstddef>
#include <cstdint>

struct ERect;

struct VstKeyCode {
    std::int32_t character;
    unsigned char virt;
    unsigned char modifier;
};

static_assert(offsetof(VstKeyCode, virt) == 4);
static_assert(offsetof(VstKeyCode, modifier) == 5);
static_assert(sizeof(VstKeyCode) == 8);

class AEffEditor {
public:
    virtual ~AEffEditor() = default;
    virtual bool getRect(ERect** rect) {
        (void)rect;
        return false;
    }
    virtual bool open(void* parentWindow) {
        (void)parentWindow;
        return false;
    }
    virtual void close() {}
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& keyCode) {
        (void)keyCode;
        return false;
    }
    virtual bool onKeyUp(VstKeyCode& keyCode) {
        (void)keyCode;
        return false;
    }
    virtual bool setKnobMode(std::int32_t mode) {
        (void)mode;
        return false;
    }
};
