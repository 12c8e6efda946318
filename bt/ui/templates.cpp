#include "bt/ui/templates.h"

#include "platform/dialogs/services.h"

#include <mutex>

namespace kivo::bt {

void RegisterScreenTemplates()
{
    static std::once_flag once;
    std::call_once(once, [] {
        using ce::dlg::registerTemplate;
        // The phone controller window.
        registerTemplate(112, {
                                  { 1052, { 0, 0, 240, 27 } },
                                  { 1093, { 10, 34, 108, 45 } },
                                  { 1048, { 118, 34, 109, 45 } },
                                  { 1073, { 14, 79, 100, 30 } },
                                  { 1098, { 14, 110, 210, 45 } },
                                  { 1076, { 11, 135, 220, 150 } },
                                  { 1071, { 14, 297, 210, 45 } },
                                  { 1054, { 42, 354, 156, 43 } },
                              });
        // The service settings screen, portrait and landscape.
        registerTemplate(102, {
                                  { 1007, { 0, 0, 240, 27 } },
                                  { 1013, { 10, 40, 210, 45 } },
                                  { 1010, { 10, 103, 210, 45 } },
                                  { 1029, { 10, 166, 210, 45 } },
                                  { 1012, { 10, 229, 210, 45 } },
                                  { 1003, { 42, 354, 156, 43 } },
                              });
        registerTemplate(103, {
                                  { 1007, { 0, 0, 400, 27 } },
                                  { 1013, { 10, 40, 185, 45 } },
                                  { 1010, { 205, 40, 185, 45 } },
                                  { 1029, { 10, 103, 185, 45 } },
                                  { 1012, { 205, 103, 185, 45 } },
                                  { 1003, { 122, 180, 156, 43 } },
                              });
    });
}

} // namespace kivo::bt
