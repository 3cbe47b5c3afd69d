#pragma once

#include <QString>

namespace horvex {

// The per-user base folders of the XDG rules: $XDG_CONFIG_HOME or
// ~/.config, $XDG_STATE_HOME or ~/.local/state, $XDG_CACHE_HOME or ~/.cache. A relative path in
// either variable is ignored, as the rules say; with no absolute folder at all the call throws
// Failure rather than write somewhere unexpected.
QString configHome();
QString stateHome();
QString cacheHome();

} // namespace horvex
