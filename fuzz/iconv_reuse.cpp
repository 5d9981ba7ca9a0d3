// Linked into the configuration harnesses only. The code page conversions
// open an iconv descriptor for every value; under AddressSanitizer opening one
// costs more than converting a whole file, so here iconv_open hands out a
// descriptor that was opened before and iconv_close resets it instead of
// freeing it. A reset descriptor converts exactly like a new one.
#include <dlfcn.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Descriptor
{
    std::string to;
    std::string from;
    iconv_t cd;
    bool inUse;
};

// Never destroyed: the leak check at exit runs after static destructors.
std::vector<Descriptor> &descriptors()
{
    static auto *all = new std::vector<Descriptor>;
    return *all;
}

template <typename Function> Function real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" iconv_t iconv_open(const char *to, const char *from)
{
    static const auto open = real<iconv_t (*)(const char *, const char *)>("iconv_open");
    for (Descriptor &d : descriptors()) {
        if (!d.inUse && d.to == to && d.from == from) {
            d.inUse = true;
            return d.cd;
        }
    }
    const iconv_t cd = open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1))
        descriptors().push_back({to, from, cd, true});
    return cd;
}

extern "C" int iconv_close(iconv_t cd)
{
    for (Descriptor &d : descriptors()) {
        if (d.cd == cd && d.inUse) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            d.inUse = false;
            return 0;
        }
    }
    static const auto close = real<int (*)(iconv_t)>("iconv_close");
    return close(cd);
}
