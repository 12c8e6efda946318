// The calendar's month buttons: at rest, held ("_h") and focused ("_f").
#include "art.h"

namespace {

using namespace kivo_art;

const QColor kFocused(120, 60, 200);

const ArtRows registered({
    { "Buttons/b_KB_MoveLeft.mif", 32, 28, Zyr, arrowButton(Look::Normal, 2) },
    { "Buttons/b_KB_MoveLeft_h.mif", 32, 28, Zyr, arrowButton(Look::Pressed, 2) },
    { "Buttons/b_KB_MoveLeft_f.mif", 32, 28, Zyr, arrowButton(Look::Normal, 2, kFocused) },
    { "Buttons/b_KB_MoveRight.mif", 32, 28, Zyr, arrowButton(Look::Normal, 3) },
    { "Buttons/b_KB_MoveRight_h.mif", 32, 28, Zyr, arrowButton(Look::Pressed, 3) },
    { "Buttons/b_KB_MoveRight_f.mif", 32, 28, Zyr, arrowButton(Look::Normal, 3, kFocused) },
});

} // namespace
