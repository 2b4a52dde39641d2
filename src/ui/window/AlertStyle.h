#pragma once

class QMessageBox;

// The look of the program's alerts (a failure's alert, a confirmation): the title in bold as the
// forms' heading, and the message wide enough for a path of ordinary length on one line, growing with
// a longer text up to a width beyond which it wraps (at spaces and after path separators).
namespace AlertStyle {

inline constexpr int textMinimumWidth = 420;
inline constexpr int textMaximumWidth = 640;

// Call once the box has its title and message.
void apply(QMessageBox &box);

} // namespace AlertStyle
