// Export macro of the zyrControls shared library.
#pragma once

#include <QtCore/qglobal.h>

#if defined(ZYRCONTROLS_LIBRARY)
#define ZYRCONTROLS_EXPORT Q_DECL_EXPORT
#else
#define ZYRCONTROLS_EXPORT Q_DECL_IMPORT
#endif
