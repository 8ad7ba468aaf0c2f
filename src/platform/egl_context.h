// Headless OpenGL: an EGL pbuffer on Mesa's surfaceless platform with a desktop
// OpenGL compatibility-profile context (llvmpipe here, the vendor driver on a GPU).
// Used by the headless host and by every rendering test.
#pragma once
#include <cstdint>
#include <vector>

class EGLCONTEXT {
public:
    EGLCONTEXT() = default;
    ~EGLCONTEXT() { Destroy(); }
    EGLCONTEXT(const EGLCONTEXT&) = delete;
    EGLCONTEXT& operator=(const EGLCONTEXT&) = delete;

    // Creates the display, context and a width x height pbuffer and makes them current.
    // False (with one line on standard error) when EGL or desktop GL is unavailable.
    bool Create(int width, int height);
    bool MakeCurrent();
    // Replaces the pbuffer with one of a new size (context and GL objects survive).
    bool Resize(int width, int height);
    void Destroy();

    // Reads the current colour buffer as RGBA8, top row first.
    std::vector<uint8_t> ReadPixels() const;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Valid() const { return context_ != nullptr; }

private:
    void* display_ = nullptr;  // EGLDisplay
    void* config_ = nullptr;   // EGLConfig
    void* context_ = nullptr;  // EGLContext
    void* surface_ = nullptr;  // EGLSurface
    int width_ = 0, height_ = 0;
};
