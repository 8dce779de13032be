// The host build of the engine, as korvane uses it: 16-bit code units and the instrumentation
// (spans, error codes, run counters, trace hook). Every korvane source includes the engine
// through this header so that the build choice is made in one place.
#ifndef KORVANE_HOST_ENGINE_H
#define KORVANE_HOST_ENGINE_H

#ifndef TARNO_HOST_BUILD
#define TARNO_HOST_BUILD
#endif
#include "engine/tarno.h"

typedef CRegexpT<unsigned short> HostRegexp;
typedef CPatternElement<unsigned short> HostElement;
typedef CMatchContext<unsigned short> HostContext;

#endif
