#pragma once

namespace kestrel {

// Kestrel keeps no settings between runs. Qt's own file dialog saves its
// history, last folder and view through the user-scope settings of
// "QtProject" whenever it closes; pointing that scope at a path below
// /dev/null, where no file can ever be made, not even by root, means nothing
// reaches the disk and nothing earlier is read back. Call before the first
// dialog is made.
void KeepNoToolkitSettings();

} // namespace kestrel
