#pragma once

namespace kestrel {

// Kestrel keeps no settings between runs. Qt's own file dialog saves its
// history, last folder and view through the user-scope settings of
// "QtProject" whenever it closes, and reads them back falling back on the
// system scope (/etc/xdg, XDG_CONFIG_DIRS). Pointing both scopes at a path
// below /dev/null, where no file can ever be made, not even by root, means
// nothing reaches the disk and nothing is read back, neither an earlier
// run's nor a file an administrator placed. Call before the first dialog is
// made.
void KeepNoToolkitSettings();

} // namespace kestrel
