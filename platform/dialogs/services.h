// What the dialog layer's windows use besides drawing: dialog templates
// (control places by id), timers on a clock that tests can step, the
// screen's metrics, pen capture and message boxes that tests intercept.
// All on the GUI thread.
#pragma once

#include <QRect>

#include <functional>
#include <string>
#include <vector>

namespace ce::dlg {

class Control;

// A dialog template: the place of each control by its id.
struct TemplateItem {
    int id;
    QRect rect;
};
void registerTemplate(int templateId, std::vector<TemplateItem> items);
// The items of a template (empty when unknown).
const std::vector<TemplateItem>& templateItems(int templateId);
// The place of one control of a template; false when it has none.
bool templateItem(int templateId, int controlId, QRect* rect);

// Timers: a timer of an owner fires fn every periodMs until it is killed;
// setting an existing one (same owner and id) restarts it. On the real
// clock they run on Qt timers; on the stepped clock only stepClock fires
// them, in the order they fall due.
void setTimer(const void* owner, int id, int periodMs, std::function<void()> fn);
void killTimer(const void* owner, int id);
void killTimers(const void* owner);
bool timerActive(const void* owner, int id);
void useSteppedClock(bool stepped);
// Advances the stepped clock by ms, firing what falls due.
void stepClock(int ms);

// The screen's size (240 x 400 unless a test sets another).
int screenWidth();
int screenHeight();
void setScreenSize(int width, int height);

// Pen capture: the control that gets the pen until it releases it.
void setCapture(Control* control);
void releaseCapture();
Control* getCapture();

// Message boxes: with a hook set, the hook answers (a test's); else a box is
// shown modally. Returns the button pressed (IDOK when there is only OK).
using MessageBoxHook = std::function<int(const std::u16string& text, const std::u16string& caption, unsigned flags)>;
void setMessageBoxHook(MessageBoxHook hook);
int messageBox(const std::u16string& text, const std::u16string& caption, unsigned flags = 0);

} // namespace ce::dlg
