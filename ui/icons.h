#pragma once

#include <QIcon>

namespace horvex {

inline QIcon horvexIcon() {
    return {};
}
inline QIcon buttonIcon(const char*) {
    return {};
}

} // namespace horvex
