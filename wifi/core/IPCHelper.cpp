#include "wifi/core/IPCHelper.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char* const kKivoMap = "KivoMap";
// The title field holds at most this many characters before its NUL.
constexpr int kMaxTitleChars = int(sizeof(KeyboardRequestRecord::title) / sizeof(char16_t)) - 1;

ce::HWND g_flowWindow = nullptr;

} // namespace

IPCHelper* IPCHelper::instance()
{
    static IPCHelper* const helper = new IPCHelper();
    return helper;
}

void IPCHelper::setFlowWindow(ce::HWND window)
{
    g_flowWindow = window;
}

ce::HWND IPCHelper::flowWindow()
{
    return g_flowWindow;
}

ce::HWND IPCHelper::findKivoMapWindow()
{
    // The search prefers top-level windows and returns another only when no
    // top-level one matches; KivoMap is only ever a top-level window.
    const std::vector<ce::HWND> topLevel = ce::enumTopLevelWindows();
    auto onlyTopLevel = [&](ce::HWND window) {
        return std::find(topLevel.begin(), topLevel.end(), window) != topLevel.end() ? window : nullptr;
    };
    if (ce::HWND byClass = onlyTopLevel(ce::findWindow(kKivoMap, nullptr)))
        return byClass;
    return onlyTopLevel(ce::findWindow(nullptr, kKivoMap));
}

int IPCHelper::notifyStatus(int state)
{
    ce::HWND kivoMap = findKivoMapWindow();
    if (!kivoMap)
        return NoKivoMapWindow;
    const ce::UINT message = ce::registerWindowMessage("WM_KIVOWIFI_NOTIFY_STATUS");
    ce::postMessage(kivoMap, message, ce::WPARAM(state), 0);
    return Success;
}

KeyboardRequestRecord IPCHelper::makeKeyboardRequest(bool password, const QString& text)
{
    KeyboardRequestRecord record;
    std::memset(&record, 0, sizeof record);
    record.kind = 3;

    QString title = text.isEmpty() ? tr("Enter password") : text;
    if (title.size() > kMaxTitleChars) {
        // Cut, without leaving half of a surrogate pair behind.
        int keep = kMaxTitleChars;
        if (title.at(keep - 1).isHighSurrogate())
            --keep;
        title.truncate(keep);
    }
    std::memcpy(record.title, title.utf16(), size_t(title.size()) * sizeof(char16_t));

    record.one = 1;
    record.inputType = password ? 2 : 0;
    return record;
}

int IPCHelper::createKeyboard(bool password, const QString& text)
{
    KeyboardRequestRecord record = makeKeyboardRequest(password, text);

    ce::HWND kivoMap = findKivoMapWindow();
    if (!kivoMap)
        return NoKivoMapWindow;

    if (g_flowWindow) {
        const ce::UINT request = ce::registerWindowMessage("WM_KEYBD_IN_CREATEKEYBOARD");
        ce::COPYDATASTRUCT data;
        data.dwData = request;
        data.cbData = sizeof record;
        data.lpData = &record;
        ce::sendMessage(
            kivoMap, ce::WM_COPYDATA, reinterpret_cast<ce::WPARAM>(g_flowWindow), reinterpret_cast<ce::LPARAM>(&data));
    }
    return Success;
}
