// Libraries that only some documents need (shaping and bidi for text, XSLT
// for style sheets, the raster codecs and colour profiles for images) are
// opened the first time one of their functions is called, not when the
// program starts. The dynamic loader maps and binds every library named at
// link time before main runs; those eighteen libraries, with what they
// bring in, were a quarter of the time an empty document took.
//
// Each such function is declared in namespace svg as an object of the same
// name (VEXO_LAZY_FUNCTION): unqualified calls in the project's code find it
// before the library's own declaration in the global namespace, so a call
// site reads as a plain call into the library. The libraries are not
// linked, so a call that misses these declarations fails to link instead
// of loading the library at start-up again.
#pragma once

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include <dlfcn.h>

namespace svg {

class CLazyLibrary {
public:
    // `soname` is the name the library was built against (base/library_sonames.h).
    constexpr explicit CLazyLibrary(const char* soname) : soname_(soname) {}
    CLazyLibrary(const CLazyLibrary&) = delete;
    CLazyLibrary& operator=(const CLazyLibrary&) = delete;

    // The address of the library's function `name`. A missing library or
    // function ends the process with the loader's message, as a missing
    // library would have ended it at start-up.
    void* Function(const char* name) noexcept
    {
        if (!Open())
            Fail(error_.c_str());
        void* address = dlsym(handle_, name);
        if (address == nullptr)
            Fail(dlerror());
        return address;
    }

private:
    // Opens the library on the first call; false when it cannot be opened.
    bool Open() noexcept
    {
        std::call_once(opened_, [this] {
            // Lazy binding: of a library's functions only those called are bound.
            handle_ = dlopen(soname_, RTLD_LAZY | RTLD_LOCAL);
            if (handle_ == nullptr)
                error_ = dlerror();
        });
        return handle_ != nullptr;
    }

    [[noreturn]] static void Fail(const char* error) noexcept
    {
        std::fprintf(stderr, "vexo: %s\n", error != nullptr ? error : "a library function is missing");
        std::_Exit(127);
    }

    const char* soname_;
    std::once_flag opened_;
    void* handle_ = nullptr;
    std::string error_;
};

// A function of a lazily opened library, looked up on its first call.
class CLazySymbol {
public:
    constexpr CLazySymbol(CLazyLibrary& library, const char* name) : library_(library), name_(name) {}
    CLazySymbol(const CLazySymbol&) = delete;
    CLazySymbol& operator=(const CLazySymbol&) = delete;

protected:
    void* Address() const noexcept
    {
        void* address = address_.load(std::memory_order_acquire);
        if (address == nullptr) {
            address = library_.Function(name_);
            address_.store(address, std::memory_order_release);
        }
        return address;
    }

private:
    CLazyLibrary& library_;
    const char* name_;
    mutable std::atomic<void*> address_{nullptr};
};

template <class Function>
class CLazyFunction;

template <class R, class... Args, bool NoExcept>
class CLazyFunction<R(Args...) noexcept(NoExcept)> : public CLazySymbol {
public:
    using Pointer = R (*)(Args...) noexcept(NoExcept);
    using CLazySymbol::CLazySymbol;

    R operator()(Args... args) const noexcept(NoExcept) { return Get()(static_cast<Args>(args)...); }
    // For the library's callbacks that take one of its own functions.
    Pointer Get() const noexcept { return reinterpret_cast<Pointer>(Address()); }
};

// C functions with a variable argument list (TIFFGetField): the extra
// arguments are passed on as given.
template <class R, class... Args, bool NoExcept>
class CLazyFunction<R(Args..., ...) noexcept(NoExcept)> : public CLazySymbol {
public:
    using Pointer = R (*)(Args..., ...) noexcept(NoExcept);
    using CLazySymbol::CLazySymbol;

    template <class... More>
    R operator()(Args... args, More... more) const noexcept(NoExcept)
    {
        return reinterpret_cast<Pointer>(Address())(static_cast<Args>(args)..., more...);
    }
};

}  // namespace svg

// Declares `name`, a function of `library` declared by the library's header,
// in namespace svg. Use inside namespace svg. The function's attributes
// (nonnull, pure) do not carry over to the object, which GCC would say.
#define VEXO_LAZY_FUNCTION(library, name)                                           \
    _Pragma("GCC diagnostic push")                                                  \
    _Pragma("GCC diagnostic ignored \"-Wignored-attributes\"")                      \
    inline constinit ::svg::CLazyFunction<decltype(::name)> name{library, #name};    \
    _Pragma("GCC diagnostic pop")
