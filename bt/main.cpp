// KivoBT: the Bluetooth phone and sensor manager. No visible main window;
// clients reach it through the window titled "KivoBT".

#include "bt/core/bt_sdk.h"
#include "bt/core/dlg_kivobt.h"

#include "platform/dialogs/gdi.h"
#include "platform/paths.h"
#include "platform/qt/qt_message_pump.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    kivo::QtMessagePump::install(&app);
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\bt");
    ce::dlg::setResourceFile("\\SystemDrive\\Falmo\\program\\bt\\KivoBTRes.bin");
    kivo::bt::BtSdk::Load();
    const int code = kivo::bt::RunKivoBT();
    kivo::bt::BtSdk::Free();
    return code;
}
