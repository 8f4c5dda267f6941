#pragma once

// xcb's XKB extension header names a struct member "explicit": read here, in one place, with the
// keyword renamed while it is read.
#include <xcb/xcb.h>
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
