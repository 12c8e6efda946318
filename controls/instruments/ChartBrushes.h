// The default brushes the graph view and the profile chart share: the curve's
// fill and the start and end flags (a green gradient, a chequered disc).
#pragma once

#include <QBrush>

namespace zyr::charts {

struct DefaultBrushes {
    QBrush foreground;
    QBrush startFlag;
    QBrush endFlag;
};

DefaultBrushes defaultBrushes();

} // namespace zyr::charts
