// What the fixture layout plug-ins report of themselves. The counts live in
// a library of their own so they outlive every load and unload of a
// plug-in.
#pragma once

#include <string>

struct FixtureCounts {
    int registerCalls = 0;
    int unregisterCalls = 0;
    int setupCalls = 0;
    int retranslateCalls = 0;
    int formsAlive = 0;
    int formsDestroyed = 0;
    const void* ownLayout = nullptr; // registered under "<base>Container"
    const void* sharedLayout = nullptr; // registered under "KbdFixtureSharedContainer"
};

// By the plug-in file's base name ("KbdFixtureA").
__attribute__((visibility("default"))) FixtureCounts& fixtureCounts(const std::string& base);
__attribute__((visibility("default"))) void resetFixtureCounts();
