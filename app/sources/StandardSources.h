#pragma once

#include "search/Database.h"
#include "search/Source.h"

#include <memory>
#include <vector>

namespace orvex {

// The launcher's sources, in the order their rows join an answer, made from the configuration: the
// `makeSources` of every manager the launcher, its tools and the tests build. A new source is added here.
std::vector<std::shared_ptr<const Source>> standardSources(const DatabaseManagerConfiguration &configuration);

// DatabaseManagerConfiguration::production() with the standard sources and the browsers' bookmark
// folders.
DatabaseManagerConfiguration standardConfiguration();

// Makes DatabaseManager::shared() the launcher's (built from standardConfiguration() on first use). The
// launcher and the command-line tool call it first thing.
void installStandardSearchCore();

} // namespace orvex
