// The Save As chooser for the dump file, built on Qt's own (non-native) file dialog, with the rules
// that dialog leaves out in save mode: a folder that does not exist is refused, a typed folder name
// opens that folder, and a path that does not fit the caller's buffer is refused, never cut short.
#pragma once

#include <QWidget>
#include <cstddef>

namespace tovrin {

// Runs the chooser modal to `owner`, starting from the file named in `path`. True when the user
// confirmed a file, whose full path (shorter than `capacity` bytes) is then in `path`; false when
// the user cancelled, with `path` unchanged.
bool run_save_chooser(QWidget* owner, char* path, std::size_t capacity);

}  // namespace tovrin
