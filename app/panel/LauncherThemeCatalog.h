#pragma once

#include "LauncherTheme.h"

#include <QList>

namespace orvex {

// The twelve built-in themes of the panel, one per LauncherThemeID in the ids' order. Built once, on
// first use, and only read afterwards; safe to read from any thread.
namespace LauncherThemeCatalog {

const QList<LauncherTheme> &all();

// A copy of the theme of `id` (graphite, the first theme, should an id ever lack one).
LauncherTheme theme(LauncherThemeID id);

} // namespace LauncherThemeCatalog

} // namespace orvex
