// Keyboard layouts live in plug-ins that the library loads at run time.
//
// A plug-in exports, with C linkage,
//     int RegisterLayout(zyrLayoutFactory* factory);
//     int UnregisterLayout(zyrLayoutFactory* factory);
// and in them calls registerLayout / unregisterLayout for each of its
// layouts (objects of its own, never created or deleted by the library).
// Both operations are defined in this header: a plug-in compiles them and
// runs them on the one factory it is handed, so library and plug-ins share
// one factory, one layout of its maps and one heap.
//
// The factory keeps one reference-counted record per plug-in path (looked
// up exactly, letter case included) and, per layout name, the layouts
// registered under it; createLayout hands out the one registered last. The
// last release of a path erases its record, lets the plug-in unregister and
// frees the module. Each map has its own recursive lock, the plug-in lock
// always taken before the layout lock.
#pragma once

#include "controls/core/zyrcontrols_global.h"
#include "platform/sync.h"

#include <cstring>
#include <deque>
#include <map>
#include <string>

class QWidget;
class zyrLayoutFactory;

// The abstract keyboard layout. A layout keeps no state: everything of a
// form lives in the widget tree under parent. The int is always 0.
class zyrBCLayout {
public:
    virtual ~zyrBCLayout() { }
    virtual void setupUi(int, QWidget* parent) = 0;
    virtual void retranslateUi(int, QWidget* parent) = 0;
};

using zyrRegisterLayoutFn = int (*)(zyrLayoutFactory*);

// Scoped hold of a critical section.
class zyrCAutoLock {
public:
    explicit zyrCAutoLock(ce::CRITICAL_SECTION* section)
        : m_section(section)
    {
        ce::enterCriticalSection(m_section);
    }
    ~zyrCAutoLock() { ce::leaveCriticalSection(m_section); }
    zyrCAutoLock(const zyrCAutoLock&) = delete;
    zyrCAutoLock& operator=(const zyrCAutoLock&) = delete;

private:
    ce::CRITICAL_SECTION* m_section;
};

// Reference count changed only under the factory's plug-in lock. The last
// Release deletes the object.
class ZYRCONTROLS_EXPORT zyrCRefCounted {
public:
    virtual ~zyrCRefCounted();
    virtual void AddRef();
    virtual void Release();
    int refCount() const { return m_refCount; }

protected:
    int m_refCount = 0;
};

// One loaded plug-in.
class ZYRCONTROLS_EXPORT zyrCLayoutDll : public zyrCRefCounted {
public:
    zyrCLayoutDll(const std::u16string& path, zyrLayoutFactory* factory);
    // With the module loaded: erases the factory's entry, lets the plug-in
    // unregister (when it exports UnregisterLayout) and frees the module.
    ~zyrCLayoutDll() override;

    // Takes a reference; loads the module, finds both entry points and runs
    // RegisterLayout the first time. False (and the reference dropped) when
    // the module does not load or lacks an entry point.
    bool load();

private:
    std::u16string m_path;
    zyrLayoutFactory* m_factory;
    zyrRegisterLayoutFn m_register = nullptr;
    zyrRegisterLayoutFn m_unregister = nullptr;
    void* m_module = nullptr;
};

using zyrCLayoutDeque = std::deque<zyrBCLayout*>;

class ZYRCONTROLS_EXPORT zyrLayoutFactory {
public:
    // The process's one factory, made on the first call (which must come
    // before a second thread uses it); never destroyed.
    static zyrLayoutFactory* instance();
    // The layout registered last under the name, or null (logged).
    static zyrBCLayout* createLayout(const char* name);
    static bool loadLayoutDll(const char16_t* path);
    // False for a null or empty path or one that is not loaded.
    static bool unloadLayoutDll(const char16_t* path);

    zyrBCLayout* findLayout(const char* name);

    // Appends the layout under the name; the same layout twice is held twice.
    void registerLayout(const char* name, zyrBCLayout* layout)
    {
        if (!name || !layout)
            return;
        zyrCAutoLock lock(&m_layoutLock);
        m_layouts[name].push_back(layout);
    }

    // Removes the oldest registration of the layout under the name; the
    // name goes with its last layout. Unknown names and layouts: nothing.
    void unregisterLayout(const char* name, zyrBCLayout* layout)
    {
        if (!name)
            return;
        zyrCAutoLock lock(&m_layoutLock);
        auto entry = m_layouts.find(name);
        if (entry == m_layouts.end())
            return;
        zyrCLayoutDeque& deque = entry->second;
        for (auto it = deque.begin(); it != deque.end(); ++it) {
            if (*it == layout) {
                deque.erase(it);
                break;
            }
        }
        if (deque.empty())
            m_layouts.erase(entry);
    }

    bool loadDll(const char16_t* path);
    bool unloadDll(const char16_t* path);
    // Only a record's destructor calls it.
    void eraseDll(const char16_t* path);

    zyrLayoutFactory(const zyrLayoutFactory&) = delete;
    zyrLayoutFactory& operator=(const zyrLayoutFactory&) = delete;

private:
    zyrLayoutFactory() = default;

    std::map<std::string, zyrCLayoutDeque> m_layouts;
    std::map<std::u16string, zyrCLayoutDll*> m_dlls;
    ce::CRITICAL_SECTION m_dllLock;
    ce::CRITICAL_SECTION m_layoutLock;
};
