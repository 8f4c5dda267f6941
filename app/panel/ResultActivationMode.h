#pragma once

namespace orvex {

// How the panel activates a row: open it, or reveal it in the file browser (chosen by the held modifier
// keys and shown on the selected row).
enum class ResultActivationMode { open, revealInFileBrowser };

} // namespace orvex
