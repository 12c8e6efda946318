// The registry file (registry.txt in the device root), damaged any way, then
// used: reads of whatever it holds, then writes.
//
// Checked: after any damage a write still succeeds, and what was written
// reads back equal (names match without regard to case, so a read uses
// another spelling of the key), also for text with tabs, line ends,
// backslashes and bytes above 127.
// fuzz-links: kivo_platform

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"
#include "platform/registry.h"

#include <cctype>
#include <fstream>
#include <string>

using kivo::fuzz::FuzzInput;
namespace reg = ce::reg;

namespace {

const char* const kComponents[] = { "Comm", "EAPOL", "Falmo", "wifi", "a\tb", "x\ny", "\xc3\x9c", "..", "Key With Spaces",
    "\\", "back\\slash" };

std::string keyPath(FuzzInput& in)
{
    std::string key;
    const int parts = 1 + in.byte() % 4;
    for (int i = 0; i < parts; ++i) {
        if (i)
            key += (in.byte() & 1) ? "\\" : "/";
        key += kComponents[in.byte() % std::size(kComponents)];
    }
    // Values live in keys below the roots.
    return key.find_first_not_of("\\/") == std::string::npos ? "Comm" : key;
}

// Any text but NUL (the device's strings end there).
std::string text(FuzzInput& in)
{
    std::string s = in.text(in.byte() % 24);
    for (char& c : s)
        if (c == 0)
            c = '0';
    return s;
}

std::string otherCase(std::string s)
{
    for (char& c : s)
        c = std::islower(static_cast<unsigned char>(c)) ? char(std::toupper(static_cast<unsigned char>(c)))
                                                         : char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Keys are one key whatever the separators, empty components or case.
std::string sameKey(const std::string& key)
{
    std::string out, part;
    for (char c : key + "\\") {
        if (c == '\\' || c == '/') {
            if (!part.empty())
                out += (out.empty() ? "" : "\\") + part;
            part.clear();
        } else {
            part += c;
        }
    }
    return lower(out);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const std::string damage = in.text(in.u16());
    {
        std::ofstream file(ce::deviceRoot() + "/registry.txt", std::ios::binary | std::ios::trunc);
        file << damage;
    }

    // Reads of the damaged file: anything, but no crash.
    for (int i = 0; i < 3; ++i) {
        const reg::Root root = (i & 1) ? reg::Root::LocalMachine : reg::Root::CurrentUser;
        const std::string key = keyPath(in);
        for (const std::string& name : reg::valueNames(root, key)) {
            (void)reg::getString(root, key, name);
            (void)reg::getDword(root, key, name);
        }
        for (const std::string& sub : reg::subKeys(root, key))
            (void)reg::keyExists(root, key + "\\" + sub);
    }

    // Writes, each read back at once and all again at the end.
    struct Written {
        reg::Root root;
        std::string key, name, text;
        bool isDword;
        uint32_t dword;
    };
    std::vector<Written> written;
    while (!in.empty() && written.size() < 16) {
        Written w;
        w.root = in.flag() ? reg::Root::LocalMachine : reg::Root::CurrentUser;
        w.key = keyPath(in);
        w.name = text(in);
        w.isDword = in.flag();
        w.dword = in.u32();
        w.text = text(in);
        const bool ok = w.isDword ? reg::setDword(w.root, w.key, w.name, w.dword)
                                  : reg::setString(w.root, w.key, w.name, w.text);
        FUZZ_CHECK(ok);
        FUZZ_CHECK(reg::keyExists(w.root, otherCase(w.key)));
        // A later write of the same name replaces an earlier one.
        for (auto& earlier : written)
            if (earlier.root == w.root && sameKey(earlier.key) == sameKey(w.key)
                && lower(earlier.name) == lower(w.name))
                earlier.name.clear(), earlier.key.clear();
        written.push_back(w);
    }
    for (const Written& w : written) {
        if (w.key.empty())
            continue;
        if (w.isDword)
            FUZZ_CHECK(reg::getDword(w.root, otherCase(w.key), otherCase(w.name)) == w.dword);
        else
            FUZZ_CHECK(reg::getString(w.root, otherCase(w.key), otherCase(w.name)) == w.text);
    }
    return 0;
}
