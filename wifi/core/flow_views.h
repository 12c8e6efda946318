// How screens plug into the flow: per view id, a factory and the few
// operations the flow's navigation calls on that screen. Every entry is
// optional; an id without a factory gets a plain placeholder widget (object
// name: the id) and the flow skips the operations that are missing.
#pragma once

#include <QString>

#include <functional>

class KivoWiFiFlow;
class QWidget;
struct WiFiSettings;

struct FlowViewOps {
    // Builds the screen with the flow as parent, for the resolution text.
    std::function<QWidget*(KivoWiFiFlow* flow, const QString& resolution)> create;

    // Run before the screen is shown by a switch: network list (refresh its
    // list), connecting (starts the join), security, option chooser (mode is
    // its list kind), searching (list refresh and setup).
    std::function<void(QWidget* view, int mode)> setup;
    // The setup of the add-network and keyboard screens: text, input type and
    // row index handed over by the flow.
    std::function<void(QWidget* view, const QString& text, int inputType, int row)> handOff;
    // Stops the screen's timers (connecting, searching and sync when hidden;
    // alert when the program ends).
    std::function<void(QWidget* view)> stop;
    // The flow's status poll: the network list ends its refresh, the
    // searching screen runs its auto-connect step.
    std::function<void(QWidget* view)> poll;

    // What a screen hands on: the network list's selected text, the
    // add-network screen's field text, the keyboard screen's typed text.
    std::function<QString(QWidget* view)> text;
    // The kind that goes with it: the network list's selection kind, the
    // add-network and keyboard screens' input type.
    std::function<int(QWidget* view)> kind;
    // The network list's selected row.
    std::function<int(QWidget* view)> row;
    // The add-network screen's join record, taken when it opens the
    // connecting screen.
    std::function<WiFiSettings(QWidget* view)> joinRecord;
    // Leaving the add-network screen by its back button (clears its edit flag).
    std::function<void(QWidget* view)> leave;
    // The alert screen shows the flow's alert type.
    std::function<void(QWidget* view, int alertType)> applyAlert;
};
