// The capture of the three logon boxes into LogonFields and the choice of the dump file, both on
// the UI thread before the worker reads them.
#pragma once

#include "ui/dialog_view.h"
#include "worker/worker_control.h"

namespace tovrin {

// True when the address (1-15 characters), user name and password (1-16 each) were all captured.
// A refused box writes "Invalid IP, User Name, or Password" to the status line; the members
// captured before it stay overwritten, the refused one and those after it keep their contents.
bool read_logon_fields(DialogView& view, LogonFields& fields);

// True when the user chose a file, whose full path is then in `dump_path`; the chooser starts from
// the previous choice.
bool choose_dump_file(DialogView& view, char (&dump_path)[DUMP_PATH_SIZE]);

}  // namespace tovrin
