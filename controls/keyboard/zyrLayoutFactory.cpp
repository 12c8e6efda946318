#include "controls/keyboard/zyrLayoutFactory.h"

#include "platform/loader.h"

#include <QDebug>
#include <QString>

namespace {

std::u16string pathOf(const char16_t* path)
{
    return path ? std::u16string(path) : std::u16string();
}

} // namespace

zyrCRefCounted::~zyrCRefCounted() = default;

void zyrCRefCounted::AddRef()
{
    ++m_refCount;
}

void zyrCRefCounted::Release()
{
    if (--m_refCount == 0)
        delete this;
}

zyrCLayoutDll::zyrCLayoutDll(const std::u16string& path, zyrLayoutFactory* factory)
    : m_path(path)
    , m_factory(factory)
{
}

zyrCLayoutDll::~zyrCLayoutDll()
{
    if (!m_module)
        return;
    m_factory->eraseDll(m_path.c_str());
    if (m_unregister)
        m_unregister(m_factory);
    ce::freeLibrary(static_cast<ce::HMODULE>(m_module));
}

bool zyrCLayoutDll::load()
{
    AddRef();
    if (m_module)
        return true;
    const std::string file = QString::fromStdU16String(m_path).toStdString();
    m_module = ce::loadLibrary(file);
    if (m_module) {
        auto* module = static_cast<ce::HMODULE>(m_module);
        m_register = reinterpret_cast<zyrRegisterLayoutFn>(ce::getProcAddress(module, "RegisterLayout"));
        m_unregister = reinterpret_cast<zyrRegisterLayoutFn>(ce::getProcAddress(module, "UnregisterLayout"));
        if (m_register && m_unregister) {
            m_register(m_factory);
            return true;
        }
    }
    Release();
    return false;
}

zyrLayoutFactory* zyrLayoutFactory::instance()
{
    static zyrLayoutFactory* factory = [] {
        auto* made = new zyrLayoutFactory();
        ce::initializeCriticalSection(&made->m_dllLock);
        ce::initializeCriticalSection(&made->m_layoutLock);
        return made;
    }();
    return factory;
}

zyrBCLayout* zyrLayoutFactory::createLayout(const char* name)
{
    zyrBCLayout* layout = instance()->findLayout(name);
    if (!layout)
        qWarning() << "layout DLL: Layout is missed" << (name ? name : "");
    return layout;
}

bool zyrLayoutFactory::loadLayoutDll(const char16_t* path)
{
    return instance()->loadDll(path);
}

bool zyrLayoutFactory::unloadLayoutDll(const char16_t* path)
{
    if (!path || !*path)
        return false;
    return instance()->unloadDll(path);
}

zyrBCLayout* zyrLayoutFactory::findLayout(const char* name)
{
    if (!name)
        return nullptr;
    zyrCAutoLock lock(&m_layoutLock);
    auto entry = m_layouts.find(name);
    if (entry == m_layouts.end() || entry->second.empty())
        return nullptr;
    return entry->second.back();
}

bool zyrLayoutFactory::loadDll(const char16_t* path)
{
    const std::u16string key = pathOf(path);
    zyrCAutoLock lock(&m_dllLock);
    auto entry = m_dlls.find(key);
    if (entry != m_dlls.end())
        return entry->second->load();

    auto* record = new zyrCLayoutDll(key, this);
    record->AddRef(); // held while loading, so a failed load destroys it
    if (!record->load()) {
        record->Release();
        return false;
    }
    m_dlls.emplace(key, record);
    record->Release();
    return true;
}

bool zyrLayoutFactory::unloadDll(const char16_t* path)
{
    zyrCAutoLock lock(&m_dllLock);
    auto entry = m_dlls.find(pathOf(path));
    if (entry == m_dlls.end())
        return false;
    entry->second->Release();
    return true;
}

void zyrLayoutFactory::eraseDll(const char16_t* path)
{
    zyrCAutoLock lock(&m_dllLock);
    m_dlls.erase(pathOf(path));
}
